// Renders the main window and the three settings windows to PNG files so that their layout can be
// looked at without a display, then reads the files back and fails when one is missing or blank.
//
//   render_windows <output folder>

#include "app/Main.h"
#include "app/frmMain.h"
#include "batch/BatchRun.h"
#include "batch/OutputNames.h"
#include "office/OfficeProvider.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/basIniFile.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"
#include "settings/modRegAccess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>

namespace {

bool Save(QWidget& window, const QString& folder, const char* name) {
    window.show();
    QCoreApplication::processEvents();
    const QString path = folder + "/" + QString::fromUtf8(name) + ".png";
    const bool saved = window.grab().save(path, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toUtf8().constData());
    return saved;
}

// A rendering with text on it has many colours (anti-aliased glyphs); a blank one has one or two.
bool LooksRendered(const QString& path) {
    QImage image(path);
    if (image.isNull() || image.width() < 100 || image.height() < 80) {
        return false;
    }
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours.size() > 20;
}

// Renders the next modal window that opens (a message, input or file dialog) and closes it.
void SaveNextModal(const QString& folder, const char* name, bool& ok) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [folder, name, &ok, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            QTimer::singleShot(20, *poll);
            return;
        }
        // A file dialog fills its list in the background: give it a moment.
        const auto wait = [](qint64 milliseconds) {
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < milliseconds) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            }
        };
        wait(600);
        const QString path = folder + "/" + QString::fromUtf8(name) + ".png";
        const bool saved = modal->grab().save(path, "PNG") && LooksRendered(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toUtf8().constData());
        std::fflush(stdout);
        // QUARNEL_RENDER_HOLD_MS keeps the dialog on screen, so that a screen capture can take it.
        wait(qEnvironmentVariableIntValue("QUARNEL_RENDER_HOLD_MS"));
        ok = saved && ok;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(box->buttons().contains(box->button(QMessageBox::Cancel)) ? QMessageBox::Cancel
                                                                                  : QMessageBox::Ok)
                ->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir store;
    qputenv("QUARNEL_REGISTRY_DIR", store.path().toUtf8()); // never the person's own settings
    QApplication application(argc, argv);
    app::LoadQtTranslations(application);
    app::ApplyWindowFont(application);
    const QString given = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("windows");
    QDir().mkpath(given);
    // Whole, drive included: the open dialog is shown from another working folder, and on Windows a
    // path from the root ("/work/...") is taken on that folder's drive.
    const QString folder = QFileInfo(given).canonicalFilePath();

    settings::Settings record;
    record.PPTFolder = "/home/user/Desktop";
    record.MovieFolder = "/home/user/Desktop";
    settings::RegistryStore registry(store.path().toStdString());
    settings::IniFile ini;
    settings::ExceptionList exceptions;
    engine::EngineState state;
    app::MainWindowHooks hooks;
    hooks.quitApplication = [] {};
    app::frmMain window(app::MainWindowServices{record, registry, ini, exceptions, state, nullptr,
                                                (store.path() + "/ole.ini").toStdString(),
                                                "/home/user/Desktop"},
                        std::move(hooks));
    window.Form_Load();
    // This program does not sit beside a profile file; the shipped one fills the movie profile list.
    window.FillProfileList(QUARNEL_PROFILE_FILE);
    window.SetSourceText("/home/user/資料/提案書.pptx\r\n/home/user/資料/会議 2026.pptx\r\n");
    window.AppendLog("▼/home/user/資料/提案書.pptx");
    window.AppendLog("   ﾍﾟｰｼﾞ 1/3");
    window.AppendLog("\t1920x1080 ﾋﾟｸｾﾙの画像をJPEGに圧縮 (2431KB→312KB)  ");
    window.AppendLog("▲2712KB→604KB に圧縮しました。");
    window.AppendLog("   出力ﾌｧｲﾙ: /home/user/資料/提案書-圧縮前2712KB.pptx\r\n");
    window.chkObject->setChecked(true);
    window.SetCaptionSuffix(" [Office XP/2003/2007モード]");

    bool ok = window.combType->count() > 0 && window.combType->isVisible();
    if (!ok) {
        std::printf("the movie profile list is empty or hidden\n");
    }
    ok = Save(window, folder, "frmMain") && ok;
    window.OptionDialog().chkMovie->setChecked(true);
    // A goal set, so that its size and the savings below it show enabled.
    window.OptionDialog().chkTargetSize->setChecked(true);
    window.OptionDialog().txtTargetSize->setText(QStringLiteral("9.5MB"));
    window.OptionDialog().chkTargetAllowFonts->setChecked(true);
    window.OptionDialog().chkTargetAllowLayouts->setChecked(true);
    ok = Save(window.OptionDialog(), folder, "frmOption") && ok;
    window.MovieOptionDialog().chkMedia->setChecked(true);
    ok = Save(window.MovieOptionDialog(), folder, "frmMovieOption") && ok;
    window.ObjectDialog().lstException->setCurrentRow(0);
    ok = Save(window.ObjectDialog(), folder, "frmObject") && ok;

    for (const char* name : {"frmMain", "frmOption", "frmMovieOption", "frmObject"}) {
        const QString path = folder + "/" + QString::fromUtf8(name) + ".png";
        if (!LooksRendered(path)) {
            std::printf("blank or missing: %s\n", path.toUtf8().constData());
            ok = false;
        }
    }
    // The boxes a run may show, as the window shows them.
    SaveNextModal(folder, "same-name-question", ok);
    window.MessageBox(std::string(batch::kSameNameExists) +
                          "/home/user/資料/提案書-圧縮前2712KB.pptx\r\n\r\n" +
                          batch::kSameNameQuestionPresentation,
                      engine::MessageIcon::Exclamation, engine::MessageButtons::YesNoCancel);
    SaveNextModal(folder, "rename-box", ok);
    window.InputBox(batch::kNewNamePrompt, "", "/home/user/資料/提案書-圧縮前2712KB-");
    // The open-file dialog starts in the working folder: one with a few decks of different sizes.
    const QString decks = store.path() + "/資料";
    QDir().mkpath(decks);
    for (const auto& [name, bytes] : {std::pair<const char*, int>{"提案書.pptx", 2777088},
                                      {"会議 2026.pptx", 40960},
                                      {"営業部 月次報告 (最終版).pptx", 913408}}) {
        QFile deck(decks + "/" + QString::fromUtf8(name));
        if (deck.open(QIODevice::WriteOnly)) {
            deck.resize(bytes);
        }
    }
    const QString working = QDir::currentPath();
    QDir::setCurrent(decks);
    SaveNextModal(folder, "open-file-dialog", ok);
    window.btnOpen_Click();
    QDir::setCurrent(working);
    window.Form_Unload();

    // The main window after a real run over a corpus deck, when the corpus is there.
    const QString deck = QStringLiteral(QUARNEL_CORPUS "/markitdown__test.pptx");
    if (QFile::exists(deck) && QFile::copy(deck, store.path() + "/会議資料.pptx")) {
        office::OfficeProvider office;
        settings::Settings runRecord;
        app::MainWindowHooks runHooks;
        runHooks.quitApplication = [] {};
        app::frmMain runWindow(app::MainWindowServices{runRecord, registry, ini, exceptions, state, &office,
                                                       (store.path() + "/ole.ini").toStdString(),
                                                       store.path().toStdString()},
                               std::move(runHooks));
        engine::EngineContext context = runWindow.Context();
        batch::BatchRun run(context);
        app::ConnectBatchRun(runWindow, context, run);
        runWindow.Form_Load();
        runWindow.SetSourceText((store.path() + "/会議資料.pptx\r\n").toStdString());
        runWindow.btnStart_Click();
        ok = Save(runWindow, folder, "frmMain-run") && LooksRendered(folder + "/frmMain-run.png") && ok;
        runWindow.Form_Unload();
    }
    return ok ? 0 : 1;
}
