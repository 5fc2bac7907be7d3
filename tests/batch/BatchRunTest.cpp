#include "batch/BatchRun.h"

#include "BatchFixture.h"
#include "tests/support/FileStamps.h"
#include "tests/support/ProcessState.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

// A walk that replaces one shape on every slide.
std::string ReplaceOne(engine::EngineContext& ctx, automation::SlidePtr, automation::ShapePtr, bool) {
    ctx.state.PresentationChanged = true;
    ctx.host.AppendLog("\t100x100 ﾋﾟｸｾﾙの画像をJPEGに圧縮 (2KB→1KB)  ");
    return std::string();
}

} // namespace

class BatchRunTest : public BatchFixture {};

TEST_F(BatchRunTest, RunEndsWithEngineQuitProbesGoneAndOutputsWritten) {
    const std::string a = MakeDeck("a.pptx", 3000);
    const std::string b = MakeDeck("b b.pptx", 3000);
    const std::string aBefore = Read(a);
    std::vector<std::string> probesSeen;
    batch::BatchRun run(
        *ctx, [&](engine::EngineContext& c, automation::SlidePtr s, automation::ShapePtr g, bool t) {
            probesSeen.push_back(c.state.ProbePathBefore);
            EXPECT_TRUE(std::filesystem::exists(testsupport::PathOf(c.state.ProbePathBefore)));
            EXPECT_EQ(c.state.ProbeBaseSize, static_cast<double>(std::filesystem::file_size(
                                                 testsupport::PathOf(c.state.ProbePathBefore))));
            EXPECT_NE(c.state.ProbePathBefore, c.state.ProbePathAfter);
            return ReplaceOne(c, s, g, t);
        });
    const auto summary = run.btnStart_Click(a + "\r\n" + b + "\r\n");
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Finished);
    EXPECT_EQ(host.status, "圧縮完了");
    EXPECT_EQ(host.beeps, 2);
    EXPECT_FALSE(host.running);
    EXPECT_EQ(host.caption, " [Office XP/2003/2007モード]");
    // The check quits its application, and every run quits the one it used.
    EXPECT_EQ(office.journal.powerPointsQuit, office.journal.powerPointsCreated);
    EXPECT_EQ(state.appPPT, nullptr);
    EXPECT_EQ(state.SourcePresentation, nullptr);
    EXPECT_EQ(state.ScratchPresentation, nullptr);
    ASSERT_FALSE(probesSeen.empty());
    for (const auto& probe : probesSeen) {
        EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(probe))) << probe;
    }
    EXPECT_GE(office.journal.clipboardClears, 1);
    EXPECT_EQ(Read(a), aBefore);
    ASSERT_EQ(summary.entries.size(), 2u);
    EXPECT_EQ(summary.entries[1].output, testsupport::Native(dir + "/b b-圧縮前3KB.pptx"));
    EXPECT_TRUE(std::filesystem::exists(testsupport::PathOf(summary.entries[1].output)));
    EXPECT_EQ(summary.entries[0].shapesReplaced, 2);
    EXPECT_EQ(summary.entries[0].result, "compressed");
    EXPECT_EQ(summary.entries[0].bytesBefore, 3000);
    EXPECT_THAT(host.log, HasSubstr("▼" + b + "\r\n   ﾍﾟｰｼﾞ 1/2\r\n"));
    EXPECT_THAT(host.statuses, ::testing::Contains("動作環境チェック中...OK"));
}

TEST_F(BatchRunTest, StopDuringSecondOfThreeDecksNeverOpensTheThird) {
    const std::string a = MakeDeck("a.pptx");
    const std::string b = MakeDeck("b.pptx");
    const std::string c = MakeDeck("c.pptx");
    office.script.slidesPerDeck = 5;
    batch::BatchRun* runner = nullptr;
    host.onEvents = [&] {};
    batch::BatchRun run(
        *ctx, [&](engine::EngineContext& x, automation::SlidePtr s, automation::ShapePtr g, bool t) {
            ReplaceOne(x, s, g, t);
            // The person presses Stop while slide 3 of the second deck is walked.
            if (office.journal.opened.size() == 2 && s->SlideIndex() == 3) {
                runner->btnStop_Click();
            }
            return std::string();
        });
    runner = &run;
    const auto summary = run.btnStart_Click(a + "\r\n" + b + "\r\n" + c);
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Interrupted);
    EXPECT_EQ(host.status, "圧縮中断");
    EXPECT_THAT(host.statuses, ::testing::Contains("停止処理中...しばらくお待ちください。"));
    EXPECT_EQ(office.journal.opened, (std::vector<std::string>{a, b}));
    EXPECT_TRUE(state.StopRequested);
    EXPECT_TRUE(state.EncoderStopRequested);
    // The stopped deck walked three slides and wrote nothing.
    const std::string second = host.log.substr(host.log.find("▼" + b));
    EXPECT_THAT(second, HasSubstr("ﾍﾟｰｼﾞ 3/5\r\n"));
    EXPECT_THAT(second, ::testing::Not(HasSubstr("ﾍﾟｰｼﾞ 4/5")));
    EXPECT_THAT(second, ::testing::EndsWith("▲停止したため保存しませんでした。\r\n\r\n"));
    EXPECT_TRUE(std::filesystem::exists(testsupport::PathOf(summary.entries[0].output)));
    EXPECT_EQ(summary.entries[1].result, "stopped");
    EXPECT_EQ(summary.entries[0].shapesReplaced, 5);
    EXPECT_EQ(summary.entries[1].shapesReplaced, 0); // walked, but nothing kept
    EXPECT_EQ(summary.entries[2].result, "not-started");
    EXPECT_EQ(office.journal.powerPointsQuit, office.journal.powerPointsCreated);
    // The next Start clears both flags.
    batch::BatchRun again(*ctx, ReplaceOne);
    EXPECT_EQ(again.btnStart_Click(c).outcome, batch::RunOutcome::Finished);
    EXPECT_FALSE(state.StopRequested);
}

TEST_F(BatchRunTest, Version12SetsThePictureOptionOnlyWhileAPassRuns) {
    const std::string a = MakeDeck("a.pptx");
    registry->WriteNumber(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                          batch::kPictureCompressionValue, 7);
    std::string seen;
    batch::BatchRun run(*ctx,
                        [&](engine::EngineContext& c, automation::SlidePtr, automation::ShapePtr, bool) {
                            c.registry.ReadValue(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                                                 batch::kPictureCompressionValue, seen);
                            return std::string();
                        });
    EXPECT_EQ(run.btnStart_Click(a).outcome, batch::RunOutcome::Finished);
    EXPECT_EQ(seen, "0");
    EXPECT_FALSE(registry->ValueExists(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                                       batch::kPictureCompressionValue));
    EXPECT_EQ(office.journal.workbooksAdded, 0);
    EXPECT_EQ(office.journal.excelsCreated, 0);
}

TEST_F(BatchRunTest, Version9RunsThroughAWorkbookAndQuitsBoth) {
    office.script.version = "9.0";
    const std::string a = MakeFile("old.ppt", "PK old deck");
    bool sheetDuringPass = false;
    batch::BatchRun run(*ctx,
                        [&](engine::EngineContext& c, automation::SlidePtr, automation::ShapePtr, bool) {
                            sheetDuringPass = c.state.ExcelSheet != nullptr && !c.state.gOfficeXPMode;
                            return std::string();
                        });
    EXPECT_EQ(run.btnStart_Click(a).outcome, batch::RunOutcome::Finished);
    EXPECT_TRUE(sheetDuringPass);
    EXPECT_EQ(host.caption, " [Office 2000モード]");
    // One worksheet application for the check, one for the run; both quit.
    EXPECT_EQ(office.journal.excelsCreated, 2);
    EXPECT_EQ(office.journal.excelsQuit, 2);
    EXPECT_EQ(office.journal.workbooksAdded, 1);
    EXPECT_EQ(office.lastExcel->windowState, -4140);
    EXPECT_EQ(state.appEXCEL, nullptr);
    EXPECT_EQ(state.ExcelWorkbook, nullptr);
    EXPECT_FALSE(registry->ValueExists(settings::Hive::CurrentUser, batch::kPictureCompressionKey,
                                       batch::kPictureCompressionValue));
}

TEST_F(BatchRunTest, DamagedDeckIsReportedAndTheNextOneStillRuns) {
    const std::string bad = MakeFile("bad.pptx", "this is not a package");
    const std::string good = MakeDeck("good.pptx");
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click(bad + "\r\n" + good);
    EXPECT_EQ(summary.outcome, batch::RunOutcome::Finished);
    EXPECT_TRUE(summary.anyFailed());
    EXPECT_EQ(summary.entries[0].result, "open-failed");
    EXPECT_EQ(summary.entries[1].result, "compressed");
    // A Japanese reason, the backend's English text after it as the detail.
    EXPECT_THAT(host.log, HasSubstr("▼" + bad +
                                    "\r\n▲ファイルを開けませんでした。パワーポイントファイルではありません。"
                                    "(Open: not a presentation package)\r\n\r\n"));
    EXPECT_THAT(host.log, ::testing::Not(HasSubstr("十分な圧縮効果")));
    // The run's end says that one entry failed.
    EXPECT_EQ(host.status, "圧縮完了 (失敗 1 件)");
}

TEST_F(BatchRunTest, ARunThatCannotBeginFailsItsEntriesAndSaysWhy) {
    // The probes go to the temporary folder; when they cannot be saved there, no deck is opened.
    office.script.failScratchSave = true;
    const std::string a = MakeDeck("a.pptx");
    const std::string b = MakeDeck("b.pptx");
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click(a + "\r\n" + b);
    EXPECT_TRUE(office.journal.opened.empty());
    ASSERT_EQ(summary.entries.size(), 2u);
    for (const auto& entry : summary.entries) {
        EXPECT_EQ(entry.result, "not-started");
        EXPECT_TRUE(entry.failed);
        EXPECT_TRUE(entry.output.empty());
    }
    EXPECT_TRUE(summary.anyFailed());
    EXPECT_EQ(host.status, "圧縮完了 (失敗 2 件)");
    EXPECT_THAT(host.log, HasSubstr("▲圧縮を始められませんでした。(SaveAs: disk full)\r\n"));
    EXPECT_FALSE(host.running);
    EXPECT_EQ(state.appPPT, nullptr);
}

TEST_F(BatchRunTest, BusyApplicationStopsTheRunBeforeItBegins) {
    office.script.runningApp = true;
    office.script.openPresentationsInRunningApp = 1;
    const std::string a = MakeDeck("a.pptx");
    batch::BatchRun run(*ctx, ReplaceOne);
    host.log = "previous log";
    EXPECT_EQ(run.btnStart_Click(a).outcome, batch::RunOutcome::EnvironmentBusy);
    EXPECT_EQ(host.status, "動作環境チェック中...失敗");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "圧縮処理はパワーポイントを全て終了させてから行ってください。");
    EXPECT_EQ(host.log, "previous log");
    EXPECT_FALSE(host.running);
    EXPECT_TRUE(office.journal.opened.empty());
    EXPECT_EQ(office.journal.powerPointsQuit, 0);
}

TEST_F(BatchRunTest, NoApplicationAsksTheCallerToExit) {
    office.script.failCreatePowerPoint = true;
    batch::BatchRun run(*ctx, ReplaceOne);
    EXPECT_EQ(run.btnStart_Click(MakeDeck("a.pptx")).outcome, batch::RunOutcome::MustExit);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "パワーポイントを起動できません。");
    EXPECT_EQ(host.messages[0].icon, engine::MessageIcon::Exclamation);
    EXPECT_EQ(host.messages[1].text, "パワーポイントを起動できません。終了します。");
    EXPECT_EQ(host.messages[1].icon, engine::MessageIcon::Stop);
}

TEST_F(BatchRunTest, KeepFileDateCopiesDatesOnlyToWrittenOutputs) {
    const std::string a = MakeDeck("a.pptx");
    const std::string skipped = MakeDeck("s.pptx");
    const std::string inTheWay = MakeFile("s-圧縮前2KB.pptx", "someone else's file");
    const testsupport::Dates dates{{978307200, 0}, {981072000, 0}}; // access 2001-01-01, modified 2001-02-02
    ASSERT_TRUE(testsupport::SetDates(a, dates));
    ASSERT_TRUE(testsupport::SetDates(skipped, dates));
    const auto wayBefore = testsupport::GetDates(inTheWay);
    ASSERT_TRUE(wayBefore);
    config.KeepFileDate = 1;
    host.answers = {engine::MessageResult::Cancel};
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click(a + "\r\n" + skipped);
    ASSERT_EQ(summary.entries[0].result, "compressed");
    const auto in = testsupport::GetDates(a), out = testsupport::GetDates(summary.entries[0].output);
    ASSERT_TRUE(in);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->modified.seconds, in->modified.seconds);
    EXPECT_EQ(out->accessed.seconds, in->accessed.seconds);
    EXPECT_EQ(out->modified.seconds, 981072000);
    EXPECT_EQ(summary.entries[1].result, "cancelled");
    const auto wayAfter = testsupport::GetDates(inTheWay);
    ASSERT_TRUE(wayAfter);
    EXPECT_EQ(wayAfter->modified.seconds, wayBefore->modified.seconds);
    EXPECT_EQ(Read(inTheWay), "someone else's file");
    EXPECT_THAT(host.log, HasSubstr("▼" + skipped + "\r\n▲圧縮を中止しました。\r\n\r\n"));
}

TEST_F(BatchRunTest, RelativeEntriesAreTakenInTheWorkingFolder) {
    const std::string deck = MakeDeck("m.pptx");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click("m.pptx\r\n./sub/../m.pptx");
    std::filesystem::current_path(before);
    ASSERT_EQ(summary.entries.size(), 2u);
    EXPECT_EQ(summary.entries[0].input, deck);
    EXPECT_EQ(summary.entries[1].input, deck);
    EXPECT_EQ(office.journal.opened, (std::vector<std::string>{deck, deck}));
    // The output lands beside the input, never at the root, and the log names it.
    const std::string output = summary.entries[0].output;
    EXPECT_EQ(std::filesystem::path(output).parent_path(), std::filesystem::path(dir));
    EXPECT_TRUE(std::filesystem::exists(testsupport::PathOf(output)));
    EXPECT_THAT(host.log, HasSubstr(" に圧縮しました。\r\n   出力ﾌｧｲﾙ: " + output + "\r\n\r\n"));
}

TEST_F(BatchRunTest, AnOutputNoSmallerIsReportedWithoutItsReplacements) {
    const std::string tiny = MakeDeck("tiny.pptx", 64); // the fake saves 111 bytes
    const std::string good = MakeDeck("good.pptx");
    office.script.slidesPerDeck = 3;
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click(tiny + "\r\n" + good);
    ASSERT_EQ(summary.entries.size(), 2u);
    EXPECT_EQ(summary.entries[0].result, "not-smaller");
    EXPECT_EQ(summary.entries[0].output, "");
    EXPECT_EQ(summary.entries[0].shapesReplaced, 0);
    EXPECT_EQ(summary.entries[0].bytesAfter, 0);
    EXPECT_FALSE(summary.entries[0].failed);
    EXPECT_EQ(summary.entries[1].result, "compressed");
    EXPECT_EQ(summary.entries[1].shapesReplaced, 3);
    EXPECT_THAT(host.log,
                HasSubstr("より小さくならないため保存しませんでした。上記の画像の置き換えは破棄しました。"));
    EXPECT_EQ(host.status, "圧縮完了");
}

TEST(RunEndStatus, NamesTheFailedEntries) {
    EXPECT_EQ(batch::RunEndStatus(true, 0), "圧縮完了");
    EXPECT_EQ(batch::RunEndStatus(true, 2), "圧縮完了 (失敗 2 件)");
    EXPECT_EQ(batch::RunEndStatus(false, 0), "圧縮中断");
    EXPECT_EQ(batch::RunEndStatus(false, 1), "圧縮中断 (失敗 1 件)");
}

TEST_F(BatchRunTest, ARunFirstClearsWhatAKilledRunLeftInItsOutputFoldersAndNothingElse) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in makers are forked processes; tests/platform checks the makers on Windows";
#else
    namespace fs = std::filesystem;
    fs::create_directories(testsupport::PathOf(dir + "/in"));
    fs::create_directories(testsupport::PathOf(dir + "/out"));
    const std::string deck = MakeDeck("in/deck.pptx", 3000);
    config.optPPTFolder = 1;
    config.PPTFolder = dir + "/out";
    const pid_t running = testsupport::StartStandIn(false);
    ASSERT_GT(running, 0);
    const std::string dead = std::to_string(testsupport::EndedPid());
    const std::string killedSave = dir + "/out/.quarnel-save-" + dead + "-a1B2c3-deck-圧縮前3KB.pptx";
    const std::string killedGoal = dir + "/out/.quarnel-goal-" + dead + "-0-other.pptx";
    const std::string liveSave = dir + "/out/.quarnel-save-" + std::to_string(running) + "-a1B2c3-x.pptx";
    const std::string lookAlike = dir + "/out/.deck.pptx.a1B2c3";
    const std::string inputFolder = dir + "/in/.quarnel-save-" + dead + "-a1B2c3-deck.pptx";
    for (const auto& path : {killedSave, killedGoal, liveSave, lookAlike, inputFolder})
        MakeFile(path.substr(dir.size() + 1), "half");
    batch::BatchRun run(*ctx, ReplaceOne);
    const auto summary = run.btnStart_Click(deck + "\r\n");
    testsupport::EndStandIn(running);
    ASSERT_EQ(summary.entries.size(), 1u);
    EXPECT_EQ(summary.entries[0].output, testsupport::Native(dir + "/out/deck-圧縮前3KB.pptx"));
    EXPECT_FALSE(fs::exists(testsupport::PathOf(killedSave)));
    EXPECT_FALSE(fs::exists(testsupport::PathOf(killedGoal)));
    EXPECT_TRUE(fs::exists(testsupport::PathOf(liveSave))) << "a running batch's file";
    EXPECT_TRUE(fs::exists(testsupport::PathOf(lookAlike))) << "not a name the program makes";
    EXPECT_TRUE(fs::exists(testsupport::PathOf(inputFolder))) << "no output goes to the input's folder";
#endif
}
