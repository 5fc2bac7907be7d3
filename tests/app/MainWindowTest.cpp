#include "SystemPaths.h"
#include "WindowFixture.h"
#include "app/Main.h"
#include "app/SourceEdit.h"
#include "app/Twips.h"
#include "settings/dialogs/frmOption.h"
#include "support/WorkFolders.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

using settings::Hive;

TEST_F(WindowFixture, FirstStartShowsTheDefaultsAndIsReady) {
    LoadWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->lblMsg->text(), QStringLiteral("OK"));
    EXPECT_TRUE(window->btnStart->isEnabled());
    EXPECT_FALSE(window->btnStop->isEnabled());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vodrik クオーネル"));
    EXPECT_EQ(window->combFormat->currentText(), QStringLiteral("推奨形式"));
    EXPECT_EQ(window->combRatio->currentText(), QStringLiteral("標準画質"));
    EXPECT_EQ(window->combExpectRate->currentText(), QStringLiteral("75"));
    EXPECT_FALSE(window->chkObject->isChecked());
    EXPECT_FALSE(window->btnObject->isVisible());
    EXPECT_EQ(window->combFormat->count(), 5);
    EXPECT_EQ(window->combRatio->itemText(4), QStringLiteral("画質最優先"));
    // Never-visible controls stay hidden with the window on screen.
    for (QWidget* hidden :
         {static_cast<QWidget*>(window->picCheck), static_cast<QWidget*>(window->picCompare),
          static_cast<QWidget*>(window->combFileSize), static_cast<QWidget*>(window->combPixelSize),
          static_cast<QWidget*>(window->btnOption)}) {
        EXPECT_FALSE(hidden->isVisible());
    }
    // The movie profile list is shown; no profile file sits beside the test program, so it is empty
    // and disabled.
    EXPECT_TRUE(window->combType->isVisible());
    EXPECT_FALSE(window->combType->isEnabled());
    EXPECT_EQ(window->combType->currentIndex(), -1);
    // The stored height of 6000 is below the floor and snaps up to it.
    EXPECT_EQ(record.FormHeight, 7310);
    // The output options show the desktop in both folders.
    EXPECT_EQ(window->OptionDialog().txtPPTFolder->text().toStdString(), desktop);
    EXPECT_EQ(window->OptionDialog().combSameFilename->currentIndex(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowFixture, StoredSettingsReachTheControls) {
    const char* key = settings::kSettingsKey;
    registry->WriteText(Hive::LocalMachine, key, "Ratio", "0");
    registry->WriteText(Hive::LocalMachine, key, "Format", "3");
    registry->WriteText(Hive::LocalMachine, key, "ExpectRate", "42");
    registry->WriteText(Hive::LocalMachine, key, "OLE", "1");
    registry->WriteText(Hive::LocalMachine, key, "FormHeight", "9000");
    LoadWindow();
    EXPECT_EQ(window->combRatio->currentIndex(), 0);
    EXPECT_EQ(window->combFormat->currentText(), QStringLiteral("GIF"));
    EXPECT_EQ(window->combExpectRate->currentText(), QStringLiteral("42"));
    EXPECT_TRUE(window->btnObject->isVisible());
    EXPECT_EQ(window->HeightTwips() / 15, 9000 / 15);
    EXPECT_EQ(record.FormHeight, 9000);
}

TEST_F(WindowFixture, ControlsEditTheRecordLive) {
    LoadWindow();
    window->combRatio->setCurrentIndex(4);
    EXPECT_EQ(record.Ratio, 4);
    window->combFormat->setCurrentIndex(2);
    EXPECT_EQ(record.Format, 2);
    window->combExpectRate->setEditText(QStringLiteral("33"));
    EXPECT_EQ(record.ExpectRate, "33");
    window->combExpectRate->setEditText(QString());
    EXPECT_EQ(record.ExpectRate, "");
    window->chkObject->click();
    EXPECT_EQ(record.OLE, 1);
    EXPECT_TRUE(window->btnObject->isVisible());
    window->chkObject->click();
    EXPECT_EQ(record.OLE, 0);
    EXPECT_FALSE(window->btnObject->isVisible());
}

TEST_F(WindowFixture, ResetRestoresTheCompressionDefaultsOnly) {
    LoadWindow();
    window->combFormat->setCurrentIndex(4);
    window->combRatio->setCurrentIndex(0);
    window->combFileSize->setEditText(QStringLiteral("1000"));
    window->combExpectRate->setEditText(QStringLiteral("10"));
    window->combPixelSize->setEditText(QStringLiteral("9999"));
    window->chkObject->setChecked(true);
    auto& options = window->OptionDialog();
    options.chkMovie->setChecked(true);
    options.chkKeepFileDate->setChecked(true);
    window->SetSourceText("/keep/me.pptx\r\n");

    window->btnReset->click();
    EXPECT_EQ(window->combFormat->currentText(), QStringLiteral("推奨形式"));
    EXPECT_EQ(window->combRatio->currentText(), QStringLiteral("標準画質"));
    EXPECT_EQ(window->combFileSize->currentText(), QStringLiteral("50"));
    EXPECT_EQ(window->combExpectRate->currentText(), QStringLiteral("75"));
    EXPECT_EQ(window->combPixelSize->currentText(), QStringLiteral("50"));
    EXPECT_FALSE(window->chkObject->isChecked());
    EXPECT_FALSE(window->btnObject->isVisible());
    EXPECT_FALSE(options.chkMovie->isChecked());
    EXPECT_TRUE(options.btnMovie->isHidden());
    EXPECT_EQ(record.Format, 0);
    EXPECT_EQ(record.Ratio, 2);
    EXPECT_EQ(record.FileSize, "50");
    EXPECT_EQ(record.ExpectRate, "75");
    EXPECT_EQ(record.PixelSize, "50");
    EXPECT_EQ(record.OLE, 0);
    EXPECT_EQ(record.Movie, 0);
    // Nothing else changes.
    EXPECT_TRUE(options.chkKeepFileDate->isChecked());
    EXPECT_EQ(window->SourceText(), "/keep/me.pptx\r\n");
}

TEST(MainWindowLayout, ResizeRuleFixesWidthAndFloorsHeight) {
    const app::MainWindowLayout small = app::ResizeRule(6000);
    EXPECT_EQ(small.width, 7320 + 975 + 250);
    EXPECT_EQ(small.height, 4260 + 3050);
    EXPECT_EQ(small.lblMsgTop, 7310 - 180 - 1000);
    EXPECT_EQ(small.txtLogHeight, 7310 - 4260 - 1300);
    const app::MainWindowLayout tall = app::ResizeRule(9000);
    EXPECT_EQ(tall.height, 9000);
    EXPECT_EQ(tall.lblMsgTop, 7820);
    EXPECT_EQ(tall.txtLogHeight, 3440);
}

TEST_F(WindowFixture, ResizingSnapsBackAndMovesLogAndStatus) {
    LoadWindow();
    const int width = window->width();
    const double dpi = window->logicalDpiY();
    window->resize(width + 300, 120);
    EXPECT_EQ(window->width(), width);
    EXPECT_GE(window->HeightTwips(), 7310 - 15);
    EXPECT_EQ(record.FormHeight, 7310);

    window->SetHeightTwips(9000);
    EXPECT_EQ(window->width(), width);
    EXPECT_EQ(record.FormHeight, 9000);
    EXPECT_EQ(window->lblMsg->y(), app::TwipsToPixels(7820, dpi));
    EXPECT_EQ(window->txtLog->height(), app::TwipsToPixels(3440, dpi));
    EXPECT_EQ(window->txtLog->y(), app::TwipsToPixels(4260, dpi));
    EXPECT_EQ(window->WidthTwips() / 15, 8545 / 15);
}

TEST_F(WindowFixture, ControlsSitAtTheirDesignPositions) {
    LoadWindow();
    const double dpi = window->logicalDpiY();
    EXPECT_EQ(window->btnStart->geometry(), app::TwipsRect(7320, 2220, 975, 855, dpi));
    EXPECT_EQ(window->btnStop->geometry(), app::TwipsRect(7320, 3180, 975, 495, dpi));
    EXPECT_EQ(window->txtSource->geometry(), app::TwipsRect(120, 600, 7095, 1395, dpi));
    EXPECT_EQ(window->Frame1->geometry(), app::TwipsRect(120, 2100, 7095, 1755, dpi));
    EXPECT_EQ(window->combRatio->geometry(), app::TwipsRect(1260, 360, 1515, 300, dpi));
    EXPECT_EQ(window->combRatio->parentWidget(), window->Frame1);
    EXPECT_EQ(window->btnOpen->toolTip(), QStringLiteral("ダイアログを開く"));
    EXPECT_EQ(window->btnStart->toolTip(), QStringLiteral("圧縮開始"));
    EXPECT_TRUE(window->btnStart->text().isEmpty());
    EXPECT_TRUE(window->txtSource->acceptDrops());
}

TEST_F(WindowFixture, MenusInOrder) {
    LoadWindow();
    const QList<QAction*> top = window->menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("ヘルプ(&H)"));
    const QList<QAction*> file = top[0]->menu()->actions();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0], window->mnuOption);
    EXPECT_EQ(file[1], window->mnuShowReport);
    EXPECT_EQ(window->mnuShowReport->text(), QStringLiteral("結果を表示(&R)"));
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_EQ(file[3], window->mnuQuit);
    EXPECT_EQ(window->mnuQuit->text(), QStringLiteral("終了(&Q)"));
    const QList<QAction*> help = top[1]->menu()->actions();
    ASSERT_EQ(help.size(), 4);
    EXPECT_EQ(help[0]->text(), QStringLiteral("最新バージョンチェック(&U)"));
    EXPECT_EQ(help[1]->text(), QStringLiteral("サポート(&S)"));
    EXPECT_TRUE(help[2]->isSeparator());
    EXPECT_EQ(help[3], window->mnuAbout);
}

TEST_F(WindowFixture, VersionBoxIsModelessWithTheWindowsCaption) {
    LoadWindow();
    window->SetCaptionSuffix(" [Office XP/2003/2007モード]");
    window->mnuAbout->trigger();
    QMessageBox* box = window->VersionBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->text(), QStringLiteral("Vodrik クオーネル Ver.1.8.1"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Vodrik クオーネル [Office XP/2003/2007モード]"));
    box->close();
}

TEST_F(WindowFixture, ClosingSavesOnceWhicheverWay) {
    LoadWindow();
    window->combRatio->setCurrentIndex(3);
    window->close();
    window->mnuQuit->trigger();
    window->Form_Unload();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(office.clears, 1); // the engine's clipboard is left empty
    EXPECT_FALSE(window->isVisible());
    // What was saved is what the next start reads.
    settings::Settings next;
    settings::LoadSettings(next, *registry, desktop);
    EXPECT_EQ(next.Ratio, 3);
    EXPECT_EQ(next.FormHeight, 7310);
    EXPECT_EQ(next.Encode, -1);
    std::string stored;
    ASSERT_TRUE(registry->ReadValue(Hive::LocalMachine, settings::kSettingsKey, "Encode", stored));
    EXPECT_EQ(stored, "-1");
    // "ole.ini" holds the list.
    settings::IniFile reader;
    reader.IniFilePath = OleIni();
    EXPECT_EQ(reader.ReadIni("name", "0", ""), "excel");
}

TEST_F(WindowFixture, ApplicationQuitRunsTheClosingSequenceOnce) {
    LoadWindow();
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_TRUE(window->Unloaded());
    EXPECT_EQ(saves, 1);
    window->close();
    EXPECT_EQ(saves, 1);
}

TEST_F(WindowFixture, QuitMenuAloneRunsTheClosingSequence) {
    LoadWindow();
    window->mnuQuit->trigger();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(WindowFixture, ClosingDuringARunStopsIt) {
    LoadWindow();
    window->SetRunning(true);
    EXPECT_FALSE(window->btnStart->isEnabled());
    EXPECT_TRUE(window->btnStop->isEnabled());
    window->close();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(saves, 1);
}

TEST_F(WindowFixture, OfficeCheckOutcomes) {
    app::MainWindowHooks hooks = RecordingHooks();
    hooks.checkOfficeEnvironment = [] { return app::OfficeCheckResult::Busy; };
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "圧縮処理はパワーポイントを全て終了させてから行ってください。");
    EXPECT_EQ(boxes[0].icon, engine::MessageIcon::Exclamation);
    EXPECT_EQ(window->lblMsg->text(), QStringLiteral("OK"));

    // No office application: the program ends at start and saves nothing.
    hooks.checkOfficeEnvironment = [] { return app::OfficeCheckResult::MustExit; };
    MakeWindow(hooks);
    EXPECT_FALSE(window->Form_Load());
    EXPECT_NE(window->lblMsg->text(), QStringLiteral("OK"));
    window->close();
    EXPECT_EQ(saves, 0);
}

TEST_F(WindowFixture, RunThatCannotStartTheOfficeEndsWithoutSaving) {
    app::MainWindowHooks hooks = RecordingHooks();
    hooks.startRun = [this](const std::string&) { window->EndWithoutSaving(); };
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    window->btnStart->click();
    EXPECT_TRUE(window->Unloaded());
    EXPECT_TRUE(window->EndedWithoutSaving());
    window->close();
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(quits, 1);
}

TEST_F(WindowFixture, CommandLineFilesFillTheListAndStartARun) {
    LoadWindow();
    const std::string a = AbsolutePath("/d/a.pptx"), b = AbsolutePath("/d/b c.ppt");
    app::ListArgumentsAndStart(*window,
                               app::FileArguments({QString::fromStdString(a), QString::fromStdString(b)}));
    EXPECT_EQ(window->SourceText(), a + "\r\n" + b + "\r\n");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], a + "\r\n" + b + "\r\n");
    window->btnStop->setEnabled(true);
    window->btnStop->click();
    EXPECT_EQ(stops, 1);
}

TEST_F(WindowFixture, LogReadsBackInOrderAndClearEmptiesBoth) {
    LoadWindow();
    window->AppendLog("▼/d/a.pptx");
    window->AppendLog("   ﾍﾟｰｼﾞ 1/2");
    window->AppendLog("▲done\r\n");
    window->AppendLogRaw("raw");
    EXPECT_EQ(window->LogText(), "▼/d/a.pptx\r\n   ﾍﾟｰｼﾞ 1/2\r\n▲done\r\n\r\nraw");
    window->txtLog->moveCursor(QTextCursor::Start);
    window->AppendLog("tail");
    EXPECT_EQ(window->LogText(), "▼/d/a.pptx\r\n   ﾍﾟｰｼﾞ 1/2\r\n▲done\r\n\r\nrawtail\r\n");
    window->SetStatus("圧縮中");
    EXPECT_EQ(window->Status(), "圧縮中");

    window->SetSourceText("/x.pptx\r\n");
    window->btnClear->click();
    EXPECT_EQ(window->SourceText(), "");
    EXPECT_EQ(window->LogText(), "");
}

TEST_F(WindowFixture, DropOnTheListInsertsAtTheCaretNotAtTheMouse) {
    app::MainWindowHooks hooks = RecordingHooks();
    hooks.folders =
        app::FolderAccess{[](const std::string&) { return false; }, [](const std::string&) { return true; },
                          [](const std::string&) { return std::vector<std::string>{}; }};
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    window->SetSourceText("first line\r\nsecond line\r\n");
    QTextCursor caret = window->txtSource->textCursor();
    caret.setPosition(5);
    window->txtSource->setTextCursor(caret);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/drop/a.pptx")),
                  QUrl::fromLocalFile(QStringLiteral("/drop/b.ppt"))});
    const QPointF farBelow(10, window->txtSource->viewport()->height() - 2);
    QDragEnterEvent enter(farBelow.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->txtSource->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(farBelow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->txtSource->viewport(), &drop);
    EXPECT_EQ(window->SourceText(),
              "first" + testsupport::Native("/drop/a.pptx\r\n/drop/b.ppt\r\n") + " line\r\nsecond line\r\n");
}

TEST_F(WindowFixture, OpenDialogThroughTheWindow) {
    app::MainWindowHooks hooks = RecordingHooks();
    std::optional<std::vector<std::string>> answer = std::nullopt;
    hooks.openFileDialog = [&answer] { return answer; };
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    window->btnOpen->click();
    EXPECT_EQ(window->SourceText(), ""); // cancelled: nothing added
    answer = std::vector<std::string>{"/work/a.ppt", "/work/b.pptx"};
    window->btnOpen->click();
    EXPECT_EQ(window->SourceText(), "/work/a.ppt\r\n/work/b.pptx\r\n");
}

TEST_F(WindowFixture, FailingBrowserShowsTheMessageFromTheMenu) {
    app::MainWindowHooks hooks = RecordingHooks();
    hooks.urlOpener = [](const QUrl&) { return false; };
    hooks.pages = app::PageSource{"https://www.vodrik.example", ""};
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    window->mnuSupport->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, engine::MessageIcon::None);
    EXPECT_NE(boxes[0].text.find("ネットワークの状態を確認して下さい。"), std::string::npos);
}

TEST_F(WindowFixture, HelpMenuOpensTheShippedPagesBesideTheProgram) {
    app::MainWindowHooks hooks = RecordingHooks();
    std::vector<QUrl> opened;
    hooks.urlOpener = [&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    };
    hooks.pages = app::PageSource{"", QUARNEL_HELP_SOURCE};
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    window->mnuSupport->trigger();
    window->mnuUpdate->trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QStringLiteral(QUARNEL_HELP_SOURCE "/support.html")));
    EXPECT_EQ(opened[1], QUrl::fromLocalFile(QStringLiteral(QUARNEL_HELP_SOURCE "/update.html")));
    EXPECT_TRUE(boxes.empty());
    // The built program finds the copies beside it.
    EXPECT_FALSE(app::FindHelpFolder(QFileInfo(QStringLiteral(QUARNEL_GUI_PATH)).absolutePath().toStdString())
                     .empty());
}

TEST_F(WindowFixture, StopDisablesItselfAndLeavesStartToTheRun) {
    LoadWindow();
    window->SetRunning(true);
    window->btnStop->click();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(window->btnStop->isEnabled());
    EXPECT_FALSE(window->btnStart->isEnabled()); // the run enables it when it has stopped
    window->btnStop->click();                    // a disabled button takes no second click
    EXPECT_EQ(stops, 1);
    window->SetRunning(false);
    EXPECT_TRUE(window->btnStart->isEnabled());
}

TEST_F(WindowFixture, ProfileListShowsTheProfileFileAndKeepsTheChoiceAsEncode) {
    registry->WriteText(Hive::LocalMachine, settings::kSettingsKey, "Encode", "2");
    LoadWindow();
    window->FillProfileList(std::string(QUARNEL_TEST_DATA) + "/../../cores/Transcoding.ini");
    ASSERT_EQ(window->combType->count(), 3);
    EXPECT_TRUE(window->combType->isEnabled());
    EXPECT_EQ(window->combType->itemText(0), QStringLiteral("標準 (720p)"));
    EXPECT_EQ(window->combType->currentIndex(), 2);
    window->combType->setCurrentIndex(1);
    EXPECT_EQ(record.Encode, 1);
    window->Form_Unload();
    std::string stored;
    ASSERT_TRUE(registry->ReadValue(Hive::LocalMachine, settings::kSettingsKey, "Encode", stored));
    EXPECT_EQ(stored, "1");
}
