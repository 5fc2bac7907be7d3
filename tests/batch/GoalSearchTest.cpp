// Compressing towards a size goal with the project's own engine: the mildest step that reaches the
// goal is kept, an unreachable goal keeps the smallest output and says so, and a goal the deck meets
// already changes nothing. Only the kept output is ever left under the output's name.

#include "batch/GoalSearch.h"

#include "BatchFixture.h"
#include "PictureDeck.h"
#include "batch/BatchRun.h"
#include "office/OfficeProvider.h"
#include "tests/support/ProcessState.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <vips/vips8>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;

class GoalSearch : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        ASSERT_EQ(VIPS_INIT("test_batch"), 0);
        engine_ = std::make_unique<office::OfficeProvider>("12.0");
        real_ = std::make_unique<engine::EngineContext>(
            engine::EngineContext{host, config, exceptions, *registry, *engine_, state});
        deck_ = dir + "/deck.pptx";
        // Pictures with more pixels than they are shown at: a lower quality preset copies fewer.
        BuildPictureDeck(deck_, dir, 3, 1600, 1200);
        config.SameFilename = 1;
    }
    batch::EntryReport Run() {
        host.log.clear();
        batch::BatchRun run(*real_);
        const auto summary = run.btnStart_Click(deck_);
        EXPECT_EQ(summary.outcome, batch::RunOutcome::Finished) << host.log;
        return summary.entries.at(0);
    }
    // The bytes of one plain run, and its output removed again.
    std::uintmax_t PlainSize() {
        config.TargetSizeOn = 0;
        const auto report = Run();
        EXPECT_EQ(report.result, "compressed") << host.log;
        const auto size = fs::file_size(testsupport::PathOf(report.output));
        fs::remove(testsupport::PathOf(report.output));
        return size;
    }
    void Aim(std::uintmax_t bytes) {
        config.TargetSizeOn = 1;
        config.TargetSize = std::to_string(bytes / 1024) + "KB";
    }
    // Nothing of the search stays beside the output.
    void ExpectNoStaging() {
        for (const auto& e : fs::directory_iterator(testsupport::PathOf(dir)))
            EXPECT_EQ(e.path().filename().string().rfind(".quarnel-goal-", 0), std::string::npos) << e.path();
    }
    std::string deck_;
    std::unique_ptr<office::OfficeProvider> engine_;
    std::unique_ptr<engine::EngineContext> real_;
};

TEST_F(GoalSearch, AGoalTheOwnSettingsReachIsReachedAtTheFirstStep) {
    const std::string before = Read(deck_);
    const auto plain = PlainSize();
    Aim(plain + 8 * 1024);
    const auto report = Run();
    ASSERT_EQ(report.result, "compressed") << host.log;
    ASSERT_TRUE(report.goal);
    EXPECT_TRUE(report.goal->reached);
    EXPECT_EQ(report.goal->step, "設定どおり");
    EXPECT_EQ(fs::file_size(testsupport::PathOf(report.output)), plain);
    EXPECT_THAT(host.log, HasSubstr("に圧縮しました。"));
    EXPECT_THAT(host.log, HasSubstr(": 設定どおり)"));
    EXPECT_EQ(Read(deck_), before);
    ExpectNoStaging();
}

TEST_F(GoalSearch, AGoalBelowTheOwnSettingsIsReachedByAMilderStepFirst) {
    const auto plain = PlainSize();
    Aim(plain - 2 * 1024);
    const auto report = Run();
    ASSERT_EQ(report.result, "compressed") << host.log;
    ASSERT_TRUE(report.goal);
    EXPECT_TRUE(report.goal->reached) << host.log;
    EXPECT_NE(report.goal->step, "設定どおり");
    EXPECT_LE(fs::file_size(testsupport::PathOf(report.output)), report.goal->targetBytes);
    // The first lower quality preset goes first on the ladder.
    EXPECT_EQ(report.goal->step, "画質 1") << host.log;
    EXPECT_EQ(report.goal->settings.Ratio, 1);
    EXPECT_EQ(config.Ratio, 2) << "the person's settings are given back";
    // One pass shows: the kept one, under the output's real name.
    EXPECT_EQ(host.log.find("▼"), host.log.rfind("▼")) << host.log;
    EXPECT_THAT(host.log, HasSubstr(report.output));
    ExpectNoStaging();
}

TEST_F(GoalSearch, AnUnreachableGoalKeepsTheSmallestOutputAndSaysSo) {
    const auto plain = PlainSize();
    Aim(1024);
    const auto report = Run();
    ASSERT_EQ(report.result, "compressed") << host.log;
    ASSERT_TRUE(report.goal);
    EXPECT_FALSE(report.goal->reached);
    EXPECT_LT(fs::file_size(testsupport::PathOf(report.output)), plain);
    EXPECT_THAT(host.log, HasSubstr("に届きません"));
    // The ladder went all the way: the strongest picture settings made the kept output.
    EXPECT_EQ(report.goal->settings.Ratio, 0);
    ExpectNoStaging();
}

TEST_F(GoalSearch, AGoalTheDeckMeetsAlreadyChangesNothing) {
    config.TargetSizeOn = 0;
    const auto plain = Run();
    const std::string plainBytes = Read(plain.output);
    const std::string plainLog = host.log;
    fs::remove(testsupport::PathOf(plain.output));
    config.TargetSizeOn = 1;
    config.TargetSize = "100MB";
    const auto report = Run();
    ASSERT_TRUE(report.goal);
    EXPECT_TRUE(report.goal->reached);
    EXPECT_EQ(Read(report.output), plainBytes);
    EXPECT_THAT(host.log, Not(HasSubstr("目標")));
    EXPECT_EQ(host.log, plainLog);
}

TEST_F(GoalSearch, AKilledSearchsStagingFilesGoWithTheNextSearchButNothingElseDoes) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in makers are forked processes; tests/platform checks the makers on Windows";
#else
    // A running search is a process of this program; a pid that now names another program was reused.
    const pid_t running = testsupport::StartStandIn(false);
    const pid_t other = testsupport::StartStandIn(true);
    ASSERT_GT(running, 0);
    ASSERT_EQ(testsupport::ProcessName(other), "sleep");
    const std::string dead =
        dir + "/.quarnel-goal-" + std::to_string(testsupport::EndedPid()) + "-1-deck.pptx";
    const std::string live = dir + "/.quarnel-goal-" + std::to_string(running) + "-1-deck.pptx";
    const std::string reused = dir + "/.quarnel-goal-" + std::to_string(other) + "-1-deck.pptx";
    const std::string notOurs = dir + "/.quarnel-goal-notes.txt";
    for (const auto& path : {dead, live, reused, notOurs})
        std::ofstream(path) << "x";
    Aim(1024 * 1024 * 1024);
    config.TargetSize = "1KB";
    Run();
    testsupport::EndStandIn(running);
    testsupport::EndStandIn(other);
    EXPECT_FALSE(fs::exists(testsupport::PathOf(dead)));
    EXPECT_FALSE(fs::exists(testsupport::PathOf(reused))) << "a pid another program has now is not the maker";
    EXPECT_TRUE(fs::exists(testsupport::PathOf(live))) << "a running search keeps its files";
    EXPECT_TRUE(fs::exists(testsupport::PathOf(notOurs))) << "a name the program did not make stays";
#endif
}

TEST(GoalLadder, StepsGoFromMildToStrongAndOnlyAllowedSavingsJoin) {
    settings::Settings s;
    s.Ratio = 2;
    s.ExpectRate = "75";
    s.FileSize = "50";
    auto labels = [](const settings::Settings& own) {
        std::vector<std::string> out;
        for (const auto& step : batch::GoalLadder(own))
            out.push_back(step.label);
        return out;
    };
    EXPECT_EQ(labels(s), (std::vector<std::string>{"画質 1", "画質 0", "期待圧縮率 95%", "最小ｻｲｽﾞ 10KB"}));
    s.TargetAllowFonts = 1;
    s.TargetAllowLayouts = 1;
    s.RemoveUnusedLayouts = 1; // on for every run: part of the person's own settings already
    s.Ratio = 0;
    s.ExpectRate = "95";
    EXPECT_EQ(labels(s), (std::vector<std::string>{"最小ｻｲｽﾞ 10KB", "ﾌｫﾝﾄを使う文字だけに"}));
    EXPECT_EQ(batch::GoalText(10u << 20), "10MB");
    EXPECT_EQ(batch::GoalText(9728u << 10), "9.5MB");
    EXPECT_EQ(batch::GoalText(500u << 10), "500KB");
}

} // namespace
