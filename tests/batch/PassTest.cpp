#include "BatchFixture.h"
#include "engine/CompressPresentation.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

class PassTest : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        app = std::dynamic_pointer_cast<fake::Application>(office.CreatePowerPoint());
        state.appPPT = app;
        state.gOfficeXPMode = true;
    }
    engine::PassOutcome Run(const std::string& input, const std::string& chosen, bool changes = true) {
        output = "unchanged";
        const engine::OutputChooser choose = [&](const std::string&, double, const std::string&) {
            return chosen;
        };
        const engine::SlideWalker walk = [changes](engine::EngineContext& c, automation::SlidePtr,
                                                   automation::ShapePtr, bool top) {
            EXPECT_TRUE(top);
            c.state.PresentationChanged = c.state.PresentationChanged || changes;
            return std::string();
        };
        return engine::CompressPresentation(*ctx, input, choose, output, continueBatch, walk);
    }
    std::shared_ptr<fake::Application> app;
    std::string output;
    bool continueBatch = false;
};

TEST_F(PassTest, WritesPageLinesAndTheSizesOfAWrittenOutput) {
    office.script.slidesPerDeck = 15;
    const std::string in = MakeDeck("deck.pptx", 4096);
    const auto outcome = Run(in, dir + "/deck-out.pptx");
    EXPECT_EQ(outcome.result, engine::PassResult::Compressed);
    EXPECT_EQ(output, dir + "/deck-out.pptx");
    EXPECT_TRUE(continueBatch);
    EXPECT_THAT(host.log, HasSubstr("▼" + in + "\r\n   ﾍﾟｰｼﾞ 1/15\r\n   ﾍﾟｰｼﾞ 2/15\r\n"));
    const auto written = static_cast<double>(std::filesystem::file_size(testsupport::PathOf(output)));
    EXPECT_EQ(outcome.outputSize, written);
    EXPECT_THAT(host.log, HasSubstr("▲4KB→0.1KB に圧縮しました。\r\n   出力ﾌｧｲﾙ: " + output + "\r\n\r\n"));
    EXPECT_EQ(host.status, "処理中");
    EXPECT_EQ(app->presentations()->Item(1)->Windows(1)->ViewType(), 9);
    EXPECT_EQ(office.journal.clipboardClears, 1);
}

// The save alone may shrink a deck in which nothing was replaced; it is kept only when it did. The
// fake saves 111 bytes.
TEST_F(PassTest, NothingReplacedIsWrittenOnlyWhenTheSaveAloneMadeItSmaller) {
    const std::string bulky = MakeDeck("bulky.pptx", 4096);
    EXPECT_EQ(Run(bulky, dir + "/bulky-out.pptx", false).result, engine::PassResult::Compressed);
    EXPECT_TRUE(std::filesystem::exists(testsupport::PathOf(dir + "/bulky-out.pptx")));
    EXPECT_THAT(host.log, HasSubstr("▲4KB→0.1KB に圧縮しました。\r\n"));

    host.log.clear();
    const std::string tiny = MakeDeck("tiny.pptx", 64);
    EXPECT_EQ(Run(tiny, dir + "/o.pptx", false).result, engine::PassResult::NotEnoughEffect);
    EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(dir + "/o.pptx")));
    EXPECT_THAT(host.log, HasSubstr("▲十分な圧縮効果が得られなかったため圧縮を中止しました。\r\n\r\n"));
    office.script.slidesPerDeck = 0;
    host.log.clear();
    EXPECT_EQ(Run(tiny, dir + "/o.pptx", true).result, engine::PassResult::NotEnoughEffect);
    EXPECT_THAT(host.log, ::testing::Not(HasSubstr("ﾍﾟｰｼﾞ")));
}

TEST_F(PassTest, PptxNeedsVersion12AndNothingIsOpened) {
    office.script.version = "11.0";
    const std::string in = MakeDeck("deck. PPTX ");
    EXPECT_EQ(Run(in, dir + "/o.pptx").result, engine::PassResult::Refused);
    EXPECT_EQ(host.log,
              "▼" + in + "\r\n▲pptx形式の圧縮にはﾊﾟﾜｰﾎﾟｲﾝﾄ2007が必要です。圧縮を中止しました。\r\n\r\n");
    EXPECT_TRUE(office.journal.opened.empty());
    EXPECT_EQ(output, "unchanged");
    office.script.version = "11.0";
    EXPECT_EQ(Run(MakeDeck("old.ppt"), dir + "/o.ppt").result, engine::PassResult::Compressed);
}

TEST_F(PassTest, FailedSaveKeepsTheExistingOutputAndIsReported) {
    office.script.failSave = true;
    const std::string existing = MakeFile("o.pptx", "earlier output");
    const auto outcome = Run(MakeDeck("deck.pptx"), existing);
    EXPECT_EQ(outcome.result, engine::PassResult::SaveFailed);
    EXPECT_EQ(Read(existing), "earlier output");
    EXPECT_THAT(host.log, HasSubstr("▲ファイルを保存できませんでした。ディスクの空き容量が足りません。"
                                    "(SaveAs: disk full)\r\n\r\n"));
}

TEST_F(PassTest, AnOutputNoSmallerThanItsInputIsNotKept) {
    // The fake saves 111 bytes: a 64-byte input cannot shrink, whatever the walk replaced.
    const std::string existing = MakeFile("o.pptx", "earlier output");
    const auto outcome = Run(MakeDeck("tiny.pptx", 64), existing);
    EXPECT_EQ(outcome.result, engine::PassResult::NotSmaller);
    EXPECT_EQ(outcome.outputSize, 0);
    EXPECT_EQ(Read(existing), "earlier output");
    // The closing line says what happened, with both sizes, and that the listed replacements are gone.
    EXPECT_THAT(host.log, HasSubstr("▲圧縮後のファイル (0.1KB) が元のファイル (0.1KB) より小さくならないため"
                                    "保存しませんでした。上記の画像の置き換えは破棄しました。\r\n\r\n"));
    EXPECT_THAT(host.log, ::testing::Not(HasSubstr("十分な圧縮効果")));
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::PathOf(dir))) {
        EXPECT_EQ(entry.path().filename().string().find(".saving"), std::string::npos) << entry.path();
    }
}

TEST_F(PassTest, CancelledNameAndTheInputItselfAreNeverWritten) {
    const std::string in = MakeDeck("deck.pptx");
    EXPECT_EQ(Run(in, "").result, engine::PassResult::Cancelled);
    EXPECT_EQ(output, "");
    EXPECT_THAT(host.log, HasSubstr("▲圧縮を中止しました。\r\n\r\n"));
    const std::string before = Read(in);
    EXPECT_EQ(Run(in, dir + "/./deck.pptx").result, engine::PassResult::Cancelled);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Read(in), before);
    EXPECT_EQ(office.journal.savedAs.size(), 0u);
}

TEST_F(PassTest, StopAfterASlideWritesNothingAndEndsTheBatch) {
    office.script.slidesPerDeck = 4;
    const std::string in = MakeDeck("deck.pptx");
    output.clear();
    int walked = 0;
    const engine::SlideWalker walk = [&](engine::EngineContext& c, automation::SlidePtr, automation::ShapePtr,
                                         bool) {
        c.state.PresentationChanged = true;
        c.state.StopRequested = ++walked == 2;
        return std::string();
    };
    const auto outcome = engine::CompressPresentation(
        *ctx, in, [&](const std::string&, double, const std::string&) { return dir + "/o.pptx"; }, output,
        continueBatch, walk);
    EXPECT_EQ(walked, 2);
    EXPECT_FALSE(continueBatch);
    EXPECT_EQ(outcome.result, engine::PassResult::NotEnoughEffect);
    EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(dir + "/o.pptx")));
}
