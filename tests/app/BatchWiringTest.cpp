// Start, Stop and the office check reach the real batch run and office engine through the window.

#include "WindowFixture.h"
#include "app/Main.h"
#include "automation/PowerPoint.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "support/WorkFolders.h"
#ifdef _WIN32
#include "support/PrivateFolder_win.h"
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace {

class BatchWiring : public WindowFixture {
protected:
    office::OfficeProvider realOffice;
    std::unique_ptr<engine::EngineContext> context;
    std::unique_ptr<batch::BatchRun> run;

    void LoadWiredWindow() {
        window =
            std::make_unique<app::frmMain>(app::MainWindowServices{record, *registry, ini, exceptions, state,
                                                                   &realOffice, OleIni(), desktop},
                                           RecordingHooks());
        context = std::make_unique<engine::EngineContext>(window->Context());
        run = std::make_unique<batch::BatchRun>(*context);
        app::ConnectBatchRun(*window, *context, *run);
        ASSERT_TRUE(window->Form_Load());
    }

    void TearDown() override {
        run.reset();
        context.reset();
        window.reset();
    }
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(BatchWiring, LoadChecksTheOfficeAndShowsItsMode) {
    LoadWiredWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vodrik クオーネル [Office XP/2003/2007モード]"));
    EXPECT_EQ(window->lblMsg->text(), QStringLiteral("OK"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BatchWiring, MissingEntryIsRefusedWithTheBatchMessage) {
    LoadWiredWindow();
    const std::string missing = (dir.path() + "/no such deck.pptx").toStdString();
    window->SetSourceText(missing + "\r\n");
    window->btnStart->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("入力ファイルが存在しません："), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(missing), std::string::npos);
    EXPECT_TRUE(window->btnStart->isEnabled());
    EXPECT_FALSE(window->btnStop->isEnabled());
}

TEST_F(BatchWiring, DeckRunsThroughTheWindowAndItsLog) {
    LoadWiredWindow();
    const QString deck = dir.path() + "/会議 資料.pptx";
    {
        auto application = realOffice.CreatePowerPoint();
        auto presentation = application->Presentations()->Add(false);
        presentation->Slides()->Add(1, 12);
        presentation->SaveAs(deck.toStdString());
        presentation->Close();
        application->Quit();
    }
    const QByteArray before = ReadAll(deck);
    ASSERT_FALSE(before.isEmpty());

    window->SetSourceText(deck.toStdString() + "\r\n");
    window->btnStart->click();
    const std::string log = window->LogText();
    EXPECT_EQ(log.rfind("▼" + deck.toStdString() + "\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("\r\n▲"), std::string::npos) << log;
    EXPECT_EQ(window->Status(), "圧縮完了");
    EXPECT_TRUE(window->btnStart->isEnabled());
    EXPECT_FALSE(window->btnStop->isEnabled());
    EXPECT_EQ(ReadAll(deck), before); // the input is never written
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BatchWiring, CorpusDeckIsCompressedThroughTheWindow) {
    const QString source = QStringLiteral(QUARNEL_CORPUS "/markitdown__test.pptx");
    if (!QFile::exists(source)) {
        GTEST_SKIP() << "no corpus deck at " << source.toStdString();
    }
    LoadWiredWindow();
    const QString deck = dir.path() + "/deck.pptx";
    ASSERT_TRUE(QFile::copy(source, deck));
    const QByteArray before = ReadAll(deck);

    window->SetSourceText(deck.toStdString() + "\r\n");
    window->btnStart->click();
    const std::string log = window->LogText();
    EXPECT_NE(log.find("に圧縮しました。"), std::string::npos) << log;
    EXPECT_EQ(window->Status(), "圧縮完了");
    EXPECT_EQ(ReadAll(deck), before);
    const QStringList outputs = QDir(dir.path()).entryList({QStringLiteral("deck-*.pptx")}, QDir::Files);
    ASSERT_EQ(outputs.size(), 1) << log;
    EXPECT_LT(QFileInfo(dir.path() + "/" + outputs[0]).size(), before.size());
    EXPECT_TRUE(boxes.empty());
}

// "quarnel m.pptx" in the folder that holds m.pptx, and "m.pptx" typed into the list: the deck is
// found in the working folder, its output goes beside it (never to the root), and the log says where.
TEST_F(BatchWiring, ARelativeNameIsTakenInTheWorkingFolderAndTheLogNamesTheOutput) {
    QProcess maker;
    maker.start(QStringLiteral(QUARNEL_SAMPLE_MAKER), {dir.path() + "/m.pptx", QStringLiteral("1")});
    ASSERT_TRUE(maker.waitForFinished(120000));
    ASSERT_EQ(maker.exitCode(), 0);
    LoadWiredWindow();
    record.ShowFileSize = 0;
    record.SameFilename = 1; // the second run writes over the first output
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const std::vector<std::string> arguments = app::FileArguments({QStringLiteral("m.pptx")});
    app::ListArgumentsAndStart(*window, arguments);
    const std::string argumentLog = window->LogText();
    window->SetSourceText("m.pptx\r\n");
    window->btnStart->click();
    const std::string typedLog = window->LogText();
    QDir::setCurrent(before);

    // Listed and logged as the system writes paths.
    const std::string deck = testsupport::Native((dir.path() + "/m.pptx").toStdString());
    const std::string output = testsupport::Native((dir.path() + "/m【圧縮】.pptx").toStdString());
    EXPECT_EQ(arguments, std::vector<std::string>{deck});
    for (const std::string& log : {argumentLog, typedLog}) {
        EXPECT_EQ(log.rfind("▼" + deck + "\r\n", 0), 0u) << log;
        EXPECT_NE(log.find(" に圧縮しました。\r\n   出力ﾌｧｲﾙ: " + output + "\r\n"), std::string::npos) << log;
    }
    EXPECT_TRUE(QFile::exists(QString::fromStdString(output)));
    EXPECT_TRUE(QDir(QStringLiteral("/")).entryList({QStringLiteral("m【圧縮】*")}).isEmpty());
    EXPECT_EQ(window->Status(), "圧縮完了");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BatchWiring, AFailedDeckShowsInTheStatusLine) {
    LoadWiredWindow();
    const QString empty = dir.path() + "/empty.pptx";
    QFile(empty).open(QIODevice::WriteOnly);
    window->SetSourceText(empty.toStdString() + "\r\n");
    window->btnStart->click();
    EXPECT_EQ(window->Status(), "圧縮完了 (失敗 1 件)");
    EXPECT_NE(window->LogText().find("▲ファイルを開けませんでした。ファイルが空です。"), std::string::npos)
        << window->LogText();
}

// "結果を表示" opens the last run's report, written where only this user can read it.
TEST_F(BatchWiring, TheLastRunsReportOpensInTheBrowserFromAPrivateFolder) {
    QProcess maker;
    maker.start(QStringLiteral(QUARNEL_SAMPLE_MAKER), {dir.path() + "/m.pptx", QStringLiteral("2")});
    ASSERT_TRUE(maker.waitForFinished(120000));
    ASSERT_EQ(maker.exitCode(), 0);
    state.ReportThumbnailWidth = 320;
    LoadWiredWindow();
    std::vector<QUrl> opened;
    bool opens = true;
    window->Hooks().urlOpener = [&](const QUrl& url) {
        opened.push_back(url);
        return opens;
    };
    EXPECT_FALSE(window->mnuShowReport->isEnabled()) << "nothing to show before a run";

    window->SetSourceText((dir.path() + "/m.pptx\r\n").toStdString());
    window->btnStart->click();
    ASSERT_EQ(window->Status(), "圧縮完了") << window->LogText();
    ASSERT_TRUE(window->mnuShowReport->isEnabled());
    window->mnuShowReport->trigger();
    window->mnuShowReport->trigger();
    ASSERT_EQ(opened.size(), 2u);
    const QString first = opened[0].toLocalFile(), second = opened[1].toLocalFile();
    EXPECT_FALSE(QFile::exists(first)) << "the page shown before goes with the next one";
    const QByteArray page = ReadAll(second);
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html>"));
    EXPECT_EQ(page.count("<tr class=\"picture"), 2);
#ifdef _WIN32
    EXPECT_EQ(testsupport::OtherReaders(testsupport::PathOf(QFileInfo(second).path().toStdString())),
              std::vector<std::string>{});
#else
    EXPECT_EQ(QFileInfo(QFileInfo(second).path()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
#endif
    EXPECT_TRUE(boxes.empty());

    opens = false;
    window->mnuShowReport->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "結果を表示できませんでした。");
}
