// The window's own message and input boxes, answered from a timer as a person would.

#include "WindowFixture.h"
#include "batch/OutputNames.h"
#include "settings/dialogs/BrowseFolderModule.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"
#include "support/WorkFolders.h"

#ifdef _WIN32
#include "ShellPickerPerson_win.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

// Runs answer on the first modal window that appears.
void AnswerNextModal(std::function<void(QWidget*)> answer) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [answer, poll] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            answer(modal);
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
}

class HostDialogs : public WindowFixture {
protected:
    void LoadPlainWindow() {
        app::MainWindowHooks hooks = RecordingHooks();
        hooks.messageBox = nullptr; // the real boxes
        MakeWindow(hooks);
        ASSERT_TRUE(window->Form_Load());
    }
};

} // namespace

TEST_F(HostDialogs, QuestionBoxCarriesTheTitleAndReportsTheButton) {
    LoadPlainWindow();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    const auto result = window->MessageBox("同名ファイルがあります", engine::MessageIcon::Question,
                                           engine::MessageButtons::YesNoCancel);
    EXPECT_EQ(result, engine::MessageResult::No);
    EXPECT_EQ(title, QStringLiteral("Vodrik クオーネル"));
    EXPECT_EQ(text, QStringLiteral("同名ファイルがあります"));
    EXPECT_EQ(icon, QMessageBox::Question);

    AnswerNextModal(
        [](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel)->click(); });
    EXPECT_EQ(window->MessageBox("?", engine::MessageIcon::Question, engine::MessageButtons::YesNoCancel),
              engine::MessageResult::Cancel);

    AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(window->MessageBox("!", engine::MessageIcon::Exclamation, engine::MessageButtons::Ok),
              engine::MessageResult::Ok);
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(HostDialogs, InputBoxReturnsTheTextOrNothing) {
    LoadPlainWindow();
    QString shownDefault;
    AnswerNextModal([&](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        shownDefault = input->textValue();
        input->setTextValue(QStringLiteral("/out/新しい名前.pptx"));
        input->accept();
    });
    EXPECT_EQ(window->InputBox("名前", "Vodrik クオーネル", "/out/deck-"),
              std::optional<std::string>("/out/新しい名前.pptx"));
    EXPECT_EQ(shownDefault, QStringLiteral("/out/deck-"));

    AnswerNextModal([](QWidget* modal) { qobject_cast<QInputDialog*>(modal)->reject(); });
    EXPECT_EQ(window->InputBox("名前", "Vodrik クオーネル", "x"), std::nullopt);
}

TEST_F(HostDialogs, SettingsWindowsOpenModallyAndCloseByHiding) {
    LoadPlainWindow();
    QWidget* seen = nullptr;
    AnswerNextModal([&](QWidget* modal) {
        seen = modal;
        modal->close();
    });
    window->mnuOption->trigger();
    EXPECT_EQ(seen, static_cast<QWidget*>(&window->OptionDialog()));
    EXPECT_FALSE(window->OptionDialog().isVisible());

    window->chkObject->setChecked(true);
    AnswerNextModal([&](QWidget* modal) {
        seen = modal;
        modal->close();
    });
    window->btnObject->click();
    EXPECT_EQ(seen, static_cast<QWidget*>(&window->ObjectDialog()));

    // The movie options open from the output options.
    AnswerNextModal([&](QWidget* modal) {
        seen = modal;
        modal->close();
    });
    window->OptionDialog().btnMovie_Click();
    EXPECT_EQ(seen, static_cast<QWidget*>(&window->MovieOptionDialog()));
}

namespace {

QStringList ButtonTexts(QWidget* dialog) {
    QStringList texts;
    for (auto* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisible()) {
            texts << button->text();
        }
    }
    texts.sort();
    return texts;
}

QStringList Sorted(QStringList texts) {
    texts.sort();
    return texts;
}

// Column headers of a file dialog's detail view.
QStringList Headers(QFileDialog* dialog) {
    QStringList headers;
    auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (view == nullptr || view->model() == nullptr) {
        return headers;
    }
    for (int c = 0; c < view->header()->count(); ++c) {
        headers << view->model()->headerData(c, Qt::Horizontal).toString();
    }
    return headers;
}

} // namespace

// The same-name question and the rename box, as the batch asks them: Japanese buttons whatever the
// locale, the application title, and wide enough that neither the question nor the path is cut.
TEST_F(HostDialogs, SameNameQuestionHasJapaneseButtonsAndDoesNotBreakItsLines) {
    LoadPlainWindow();
    const std::string question = std::string(batch::kSameNameExists) +
                                 "/home/user/資料/提案書-圧縮前271KB.pptx" + "\r\n\r\n" +
                                 batch::kSameNameQuestionPresentation;
    QStringList texts;
    int labelWidth = 0;
    int questionWidth = 0;
    AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        QCoreApplication::processEvents();
        texts = ButtonTexts(box);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        labelWidth = label->width();
        questionWidth =
            label->fontMetrics().horizontalAdvance(QString::fromUtf8(batch::kSameNameQuestionPresentation));
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        window->MessageBox(question, engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel),
        engine::MessageResult::Yes);
    EXPECT_EQ(texts,
              Sorted({QStringLiteral("はい"), QStringLiteral("いいえ"), QStringLiteral("キャンセル")}));
    EXPECT_GE(labelWidth, questionWidth); // the question fits on one line

    AnswerNextModal([&](QWidget* modal) {
        texts = ButtonTexts(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    window->MessageBox("!", engine::MessageIcon::Exclamation, engine::MessageButtons::Ok);
    EXPECT_EQ(texts, QStringList{QStringLiteral("OK")});
}

TEST_F(HostDialogs, RenameBoxIsJapaneseTitledAndShowsTheWholeDefaultPath) {
    LoadPlainWindow();
    const QString path = QStringLiteral("/home/user/ドキュメント/2026年度/営業部/提案書-圧縮前271KB-");
    QStringList texts;
    QString title;
    int editWidth = 0;
    int pathWidth = 0;
    AnswerNextModal([&](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        QCoreApplication::processEvents();
        texts = ButtonTexts(input);
        title = input->windowTitle();
        auto* edit = input->findChild<QLineEdit*>();
        editWidth = edit->width();
        pathWidth = edit->fontMetrics().horizontalAdvance(path);
        input->reject();
    });
    EXPECT_EQ(window->InputBox(batch::kNewNamePrompt, "", path.toStdString()), std::nullopt);
    EXPECT_EQ(texts, Sorted({QStringLiteral("OK"), QStringLiteral("キャンセル")}));
    EXPECT_EQ(title, QStringLiteral("Vodrik クオーネル"));
    EXPECT_GT(editWidth, pathWidth);
}

TEST_F(HostDialogs, OpenFileDialogIsJapaneseWithFittedColumns) {
    LoadPlainWindow();
    QString title;
    QString accept;
    QString reject;
    QStringList headers;
    std::vector<QHeaderView::ResizeMode> modes;
    QFileDialog::Options options;
    bool typeHidden = false;
    AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        accept = dialog->labelText(QFileDialog::Accept);
        reject = dialog->labelText(QFileDialog::Reject);
        options = dialog->options();
        headers = Headers(dialog);
        auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        typeHidden = view->isColumnHidden(2);
        auto* header = view->header();
        for (int c = 0; c < header->count(); ++c) {
            modes.push_back(header->sectionResizeMode(c));
        }
        dialog->reject();
    });
    window->btnOpen->click();
    EXPECT_EQ(title, QStringLiteral("ファイルを開く"));
    EXPECT_EQ(accept, QStringLiteral("開く"));
    EXPECT_EQ(reject, QStringLiteral("キャンセル"));
    EXPECT_TRUE(options.testFlag(QFileDialog::DontUseNativeDialog));
    ASSERT_EQ(headers.size(), 4);
    // Qt's own translation names the columns.
    EXPECT_EQ(headers[0], QStringLiteral("名前"));
    EXPECT_EQ(headers[1], QStringLiteral("サイズ"));
    ASSERT_EQ(modes.size(), 4u);
    EXPECT_EQ(modes[0], QHeaderView::Stretch);
    for (std::size_t c = 1; c < modes.size(); ++c) {
        EXPECT_EQ(modes[c], QHeaderView::ResizeToContents) << c;
    }
    EXPECT_TRUE(typeHidden);                   // one filter, one type: its room goes to the names
    EXPECT_TRUE(window->SourceText().empty()); // cancelled: nothing added
}

TEST_F(HostDialogs, FolderPickerIsJapaneseAndReturnsTheChosenFolder) {
#ifdef _WIN32
    // Windows builds use the shell's own picker: its buttons speak the system's language, the title is
    // the program's. It opens on the start folder and returns the folder chosen, without a trailing
    // separator.
    const std::filesystem::path root = testsupport::MakeWorkFolder("quarnel-picker-");
    const struct Removed {
        std::filesystem::path folder;
        ~Removed() {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    } removed{root};
    const std::filesystem::path start = root / testsupport::PathOf("開始"),
                                chosen = root / testsupport::PathOf("選んだ フォルダ");
    std::filesystem::create_directory(start);
    std::filesystem::create_directory(chosen);
    const auto browse = [&start] {
        return settings::dialogs::BrowseForFolder(testsupport::Utf8(start), "ﾀﾞｲｱﾛｸﾞを開く");
    };
    if (!apptest::WindowsCanBeShown()) {
        EXPECT_EQ(browse(), "") << "a picker that cannot open chooses nothing";
        GTEST_SKIP() << "this session cannot show a window (Wine without a display)";
    }
    std::string result;
    {
        apptest::PickerPerson person("", false); // OK on the folder it opened on
        result = browse();
        person.Finish();
        ASSERT_TRUE(person.SawPicker());
        EXPECT_NE(std::find(person.Texts().begin(), person.Texts().end(), "ﾀﾞｲｱﾛｸﾞを開く"),
                  person.Texts().end());
    }
    ASSERT_FALSE(result.empty());
    EXPECT_NE(result.back(), '\\');
    EXPECT_TRUE(std::filesystem::is_directory(testsupport::PathOf(result))) << result;
    {
        apptest::PickerPerson person(testsupport::Utf8(chosen), true);
        EXPECT_EQ(browse(), "");
    }
    if (apptest::RunningUnderWine()) {
        GTEST_SKIP() << "Wine's picker does not select a folder it is given by path";
    }
    EXPECT_TRUE(std::filesystem::equivalent(testsupport::PathOf(result), start)) << result;
    {
        apptest::PickerPerson person(testsupport::Utf8(chosen), false);
        result = browse();
    }
    EXPECT_TRUE(std::filesystem::equivalent(testsupport::PathOf(result), chosen)) << result;
#else
    QTemporaryDir folder;
    QString accept;
    QStringList headers;
    AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        accept = dialog->labelText(QFileDialog::Accept);
        headers = Headers(dialog);
        dialog->selectFile(folder.path());
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept through the public QDialog one
    });
    EXPECT_EQ(settings::dialogs::BrowseForFolder(folder.path().toStdString(), "ﾀﾞｲｱﾛｸﾞを開く"),
              folder.path().toStdString());
    EXPECT_EQ(accept, QStringLiteral("選択"));
    ASSERT_FALSE(headers.isEmpty());
    EXPECT_EQ(headers[0], QStringLiteral("名前"));
#endif
}
