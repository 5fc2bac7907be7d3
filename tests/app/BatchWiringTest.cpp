// Start, Stop and the office check reach the real batch run and office engine through the window.

#include "WindowFixture.h"
#include "app/Main.h"
#include "automation/PowerPoint.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
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
