#include "transcode/Encoder.h"

#include "FakeHost.h"
#include "platform/ChildProcess.h"
#include "tests/support/WorkFolders.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

using namespace transcode;
using testsupport::PathOf;

namespace {

std::string MakeScratch() {
    return testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-encoder-"));
}

#ifdef _WIN32
// The stand-in encoder beside this test (EncoderStandIn_win.cpp), named as the profiles name ffmpeg.
const std::string kStandIn = "quarnel-test-encoder";

// True when the process is gone.
bool ProcessGone(DWORD pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return true;
    }
    const bool gone = WaitForSingleObject(process, 2000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}
#else
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
#endif

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

#ifdef _WIN32
TEST(Encoder, QuickProcessGivesItsExitCodeAfterOneStatus) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("quarnel-test-encoder" exit 3)", "", host, stop), 3);
    EXPECT_EQ(host.statuses, std::vector<std::string>{kStandIn + " 処理中...1秒経過"});
    host.statuses.clear();
    EXPECT_EQ(RunEncoder(R"(quarnel-test-encoder exit 0)", "", host, stop), 0);
    EXPECT_EQ(host.statuses, std::vector<std::string>{" 処理中...1秒経過"});

    // A program path as a person writes one: in a folder with blanks and Japanese, with ".exe".
    const std::string dir = MakeScratch();
    const std::filesystem::path folder = PathOf(dir + "/エンコーダー 置き場");
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / PathOf(kStandIn + ".exe");
    std::filesystem::copy_file(PathOf(platform::FindProgram(kStandIn)), copy);
    host.statuses.clear();
    EXPECT_EQ(RunEncoder("\"" + testsupport::Utf8(copy) + "\" exit 4", "", host, stop), 4);
    EXPECT_EQ(host.statuses, std::vector<std::string>{kStandIn + " 処理中...1秒経過"});
    std::filesystem::remove_all(PathOf(dir));
}

TEST(Encoder, SecondsAdvanceWhileTheProcessRuns) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("quarnel-test-encoder" sleep 1.5)", "", host, stop), 0);
    ASSERT_EQ(host.statuses.size(), 2u);
    EXPECT_EQ(host.statuses[1], kStandIn + " 処理中...2秒経過");
    EXPECT_EQ(host.eventRounds, 2);
}

// Windows has no signals: a process that dies of an exception, or is ended as a Ctrl-C or a kill
// from outside ends it, reports an NTSTATUS error code, not an exit code of its own.
TEST(Encoder, ProcessKilledBySignalCountsAsFailure) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("quarnel-test-encoder" crash)", "", host, stop), -1);
    EXPECT_EQ(host.statuses.size(), 1u);
    EXPECT_EQ(RunEncoder(R"("quarnel-test-encoder" terminate)", "", host, stop), -1);
    EXPECT_EQ(host.statuses.size(), 2u);
}
#else
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
#endif

TEST(Encoder, ProgramThatCannotStartGivesMinusOneWithoutStatus) {
    FakeHost host;
    bool stop = false;
    EXPECT_EQ(RunEncoder(R"("/no/such/encoder" -i x)", "", host, stop), -1);
    EXPECT_EQ(RunEncoder("", "", host, stop), -1);
#ifdef _WIN32
    EXPECT_EQ(RunEncoder(R"("quarnel-test-encoder" exit 0)", "/no/such/folder", host, stop), -1);
#else
    EXPECT_EQ(RunEncoder(R"("/bin/sh" -c "exit 0")", "/no/such/folder", host, stop), -1);
#endif
    EXPECT_TRUE(host.statuses.empty());
}

TEST(Encoder, WorkingFolderIsUsed) {
    const std::string scratch = MakeScratch();
    const std::string dir = scratch + "/作業 フォルダ";
    std::filesystem::create_directory(PathOf(dir));
    FakeHost host;
    bool stop = false;
#ifdef _WIN32
    const std::string command = R"("quarnel-test-encoder" cwd where.txt)";
#else
    const std::string command = R"("/bin/sh" -c "pwd > where.txt")";
#endif
    EXPECT_EQ(RunEncoder(command, dir, host, stop), 0);
    std::string where;
    std::getline(std::ifstream(PathOf(dir + "/where.txt")), where);
    EXPECT_EQ(std::filesystem::canonical(PathOf(where)), std::filesystem::canonical(PathOf(dir)));
    std::filesystem::remove_all(PathOf(scratch));
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
#ifdef _WIN32
    // The stand-in starts a copy of itself; the job holds both.
    const int result =
        RunEncoder(R"("quarnel-test-encoder" spawn pids.txt at-end-sleep 30)", dir, host, stop);
#else
    const int result = RunEncoder(
        R"("/bin/sh" -c "echo $$ > shell.pid; sleep 30 & echo $! > child.pid; wait")", dir, host, stop);
#endif
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(stop);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_EQ(host.statuses.size(), 1u);
#ifdef _WIN32
    DWORD shell = 0;
    DWORD child = 0;
    std::ifstream(PathOf(dir + "/pids.txt")) >> shell >> child;
#else
    pid_t shell = 0;
    pid_t child = 0;
    std::ifstream(dir + "/shell.pid") >> shell;
    std::ifstream(dir + "/child.pid") >> child;
#endif
    ASSERT_GT(shell, 0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(ProcessGone(shell));
    EXPECT_TRUE(ProcessGone(child));
    std::filesystem::remove_all(PathOf(dir));
}
