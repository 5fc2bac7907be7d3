// The batch run over the project's own presentation engine and shape walk, with decks built in the test.

#include "BatchFixture.h"
#include "PictureDeck.h"
#include "automation/Constants.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"

#include <gmock/gmock.h>
#include <set>
#include <vips/vips8>

using ::testing::HasSubstr;

namespace {

class RealEngine : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        ASSERT_EQ(VIPS_INIT("test_batch"), 0);
    }
    void UseEngine(const std::string& version) {
        engine_ = std::make_unique<office::OfficeProvider>(version);
        real_ = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, *engine_, state});
    }
    std::string Deck(const std::string& name, int slides = 2) {
        const std::string path = dir + "/" + name;
        BuildPictureDeck(path, dir, slides);
        return path;
    }
    std::unique_ptr<office::OfficeProvider> engine_;
    std::unique_ptr<engine::EngineContext> real_;
};

} // namespace

TEST_F(RealEngine, Version12CompressesWithTheOptionSetOnlyDuringThePass) {
    UseEngine("12.0");
    const std::string a = Deck("a.pptx");
    const std::string aBefore = Read(a);
    std::set<std::string> probes;
    bool optionSeen = false;
    host.onEvents = [&] {
        if (!state.ProbePathBefore.empty()) {
            probes.insert(state.ProbePathBefore);
            probes.insert(state.ProbePathAfter);
        }
        std::string value;
        optionSeen =
            optionSeen || (registry->ReadValue(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                                               batch::kPictureCompressionValue, value) &&
                           value == "0");
    };
    batch::BatchRun run(*real_);
    const auto summary = run.btnStart_Click(a);
    ASSERT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    EXPECT_LT(std::filesystem::file_size(testsupport::PathOf(summary.entries[0].output)), aBefore.size());
    EXPECT_EQ(summary.entries[0].shapesReplaced, 2);
    EXPECT_EQ(Read(a), aBefore);
    EXPECT_TRUE(optionSeen);
    EXPECT_FALSE(registry->ValueExists(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                                       batch::kPictureCompressionValue));
    ASSERT_FALSE(probes.empty());
    for (const auto& probe : probes) {
        EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(probe))) << probe;
    }
    EXPECT_EQ(engine_->GetActivePowerPoint(), nullptr);
    EXPECT_EQ(host.status, "圧縮完了");
}

TEST_F(RealEngine, Version9GoesThroughTheWorksheetAndQuitsIt) {
    UseEngine("9.0");
    // The older application takes .ppt names only; the engine reads the package whatever the name.
    const std::string built = Deck("built.pptx", 1);
    const std::string a = dir + "/old.ppt";
    std::filesystem::copy_file(testsupport::PathOf(built), testsupport::PathOf(a));
    bool sheetSeen = false;
    host.onEvents = [&] { sheetSeen = sheetSeen || state.ExcelSheet != nullptr; };
    batch::BatchRun run(*real_);
    const auto summary = run.btnStart_Click(a);
    EXPECT_EQ(host.caption, " [Office 2000モード]");
    EXPECT_TRUE(sheetSeen);
    // A package named .ppt is a package: compressed and written as .pptx, not lost at the save.
    ASSERT_EQ(summary.entries[0].result, "compressed") << host.log;
    EXPECT_FALSE(summary.anyFailed());
    EXPECT_EQ(std::filesystem::path(summary.entries[0].output).extension(), ".pptx");
    EXPECT_THAT(host.log, HasSubstr(" に圧縮しました。PPTX形式で保存しました。"));
    EXPECT_LT(std::filesystem::file_size(testsupport::PathOf(summary.entries[0].output)),
              std::filesystem::file_size(testsupport::PathOf(a)));
    // A .pptx needs version 12: refused before anything is opened.
    host.log.clear();
    const auto refused = run.btnStart_Click(built);
    EXPECT_EQ(refused.entries[0].result, "refused");
    EXPECT_THAT(host.log, HasSubstr("▲pptx形式の圧縮にはﾊﾟﾜｰﾎﾟｲﾝﾄ2007が必要です。圧縮を中止しました。"));
    EXPECT_EQ(state.appEXCEL, nullptr);
    EXPECT_EQ(state.ExcelWorkbook, nullptr);
    EXPECT_EQ(engine_->GetActivePowerPoint(), nullptr);
}

TEST_F(RealEngine, StopDuringTheSecondOfThreeDecks) {
    UseEngine("12.0");
    const std::string a = Deck("a.pptx", 1);
    const std::string b = Deck("b.pptx", 3);
    const std::string c = Deck("c.pptx", 1);
    batch::BatchRun run(*real_);
    bool stopped = false;
    host.onEvents = [&] {
        if (!stopped && host.log.find("▼" + b) != std::string::npos) {
            stopped = true;
            run.btnStop_Click();
        }
    };
    const auto summary = run.btnStart_Click(a + "\r\n" + b + "\r\n" + c + "\r\n");
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Interrupted);
    EXPECT_EQ(host.status, "圧縮中断");
    EXPECT_THAT(host.log, ::testing::Not(HasSubstr("▼" + c)));
    EXPECT_THAT(host.log, ::testing::Not(HasSubstr("ﾍﾟｰｼﾞ 2/3")));
    EXPECT_EQ(summary.entries[0].result, "compressed");
    EXPECT_EQ(summary.entries[1].result, "stopped");
    EXPECT_EQ(summary.entries[1].output, "");
    EXPECT_EQ(engine_->GetActivePowerPoint(), nullptr);
}
