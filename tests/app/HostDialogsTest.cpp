// The window's own message and input boxes, answered from a timer as a person would.

#include "WindowFixture.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
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
