#include "transcode/Encoder.h"

#include "FakeHost.h"
#include "tests/support/WorkFolders.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <thread>

using namespace transcode;

namespace {

std::string MakeScratch() {
    return testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-encoder-"));
}

// True when the process is gone (or only a zombie waiting to be collected by init).
bool ProcessGone(pid_t pid) {
    for (int i = 0; i < 40; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (!(stat >> pidText >> name >> state) || state == "Z") {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(Encoder, CommandLineSplittingAndDisplayNames) {
    EXPECT_EQ(SplitCommandLine(R"("/a b/prog" -x  "" "y z"	tail)"),
              (std::vector<std::string>{"/a b/prog", "-x", "", "y z", "tail"}));
    EXPECT_EQ(SplitCommandLine("  "), std::vector<std::string>{});
    EXPECT_EQ(SplitCommandLine(R"(pre"fix part"post)"), std::vector<std::string>{"prefix partpost"});
    EXPECT_EQ(EncoderDisplayName(R"("/opt/tools/ffmpeg.exe" -i a)"), "ffmpeg");
    EXPECT_EQ(EncoderDisplayName(R"("/usr/bin/sox" a b)"), "sox");
    EXPECT_EQ(EncoderDisplayName("/usr/bin/sox a b"), "");
    EXPECT_EQ(EncoderStatusText("ffmpeg", 3), "動画圧縮中...3秒経過");
    EXPECT_EQ(EncoderStatusText("FFMPEG", 3), "FFMPEG 処理中...3秒経過");
    EXPECT_EQ(EncoderStatusText("", 1), " 処理中...1秒経過");
}

TEST(Encoder, QuickProcessGivesItsExitCodeAfterOneStatus) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/bin/sh" -c "exit 3")", "", host, stop), 3);
    EXPECT_EQ(host.statuses, std::vector<std::string>{"sh 処理中...1秒経過"});
    host.statuses.clear();
    EXPECT_EQ(RunEncoder(R"(/bin/sh -c "exit 0")", "", host, stop), 0);
    EXPECT_EQ(host.statuses, std::vector<std::string>{" 処理中...1秒経過"});
}

TEST(Encoder, SecondsAdvanceWhileTheProcessRuns) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/bin/sleep" 1.5)", "", host, stop), 0);
    ASSERT_EQ(host.statuses.size(), 2u);
    EXPECT_EQ(host.statuses[1], "sleep 処理中...2秒経過");
    EXPECT_EQ(host.eventRounds, 2);
}

TEST(Encoder, ProcessKilledBySignalCountsAsFailure) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/bin/sh" -c "kill -9 $$")", "", host, stop), -1);
    EXPECT_EQ(host.statuses.size(), 1u);
}

TEST(Encoder, ProgramThatCannotStartGivesMinusOneWithoutStatus) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/no/such/encoder" -i x)", "", host, stop), -1);
    EXPECT_EQ(RunEncoder("", "", host, stop), -1);
    EXPECT_EQ(RunEncoder(R"("/bin/sh" -c "exit 0")", "/no/such/folder", host, stop), -1);
    EXPECT_TRUE(host.statuses.empty());
}

TEST(Encoder, WorkingFolderIsUsed) {
    const std::string dir = MakeScratch();
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/bin/sh" -c "pwd > where.txt")", dir, host, stop), 0);
    std::ifstream in(dir + "/where.txt");
    std::string where;
    std::getline(in, where);
    EXPECT_EQ(std::filesystem::canonical(where), std::filesystem::canonical(dir));
    std::filesystem::remove_all(dir);
}

TEST(Encoder, StopEndsTheProcessAndEverythingItStarted) {
    const std::string dir = MakeScratch();
    FakeHost host;
    bool stop = false;
    host.onEvents = [&stop](int round) {
        if (round == 2) {
            stop = true;
        }
    };
    const auto start = std::chrono::steady_clock::now();
    const int result = RunEncoder(
        R"("/bin/sh" -c "echo $$ > shell.pid; sleep 30 & echo $! > child.pid; wait")", dir, host, stop);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(stop);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_EQ(host.statuses.size(), 1u);
    pid_t shell = 0;
    pid_t child = 0;
    std::ifstream(dir + "/shell.pid") >> shell;
    std::ifstream(dir + "/child.pid") >> child;
    ASSERT_GT(shell, 0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(ProcessGone(shell));
    EXPECT_TRUE(ProcessGone(child));
    std::filesystem::remove_all(dir);
}
