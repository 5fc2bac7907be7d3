// The helper-program runner: exit codes, environment, output capture, program lookup.

#include "platform/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path;
    Folder() {
        char pattern[] = "/tmp/quarnel-child-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The pid a shell wrote into file, once it has; 0 when it did not within a few seconds.
pid_t WaitForPid(const fs::path& file) {
    for (int i = 0; i < 250; ++i) {
        pid_t pid = 0;
        if (std::ifstream(file) >> pid && pid > 0)
            return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

// True when the process is gone (or only a zombie nobody collected) within a few seconds.
bool GoneSoon(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (!(stat >> pidText >> name >> state) || state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(ChildProcess, RunsWithItsEnvironmentAndFolderAndReportsTheExitCode) {
    Folder dir;
    platform::ChildCommand command;
    command.arguments = {"sh", "-c", "echo \"$QUARNEL_CHILD_TEST $(pwd)\"; echo oops >&2; exit 7"};
    command.environment = {{"QUARNEL_CHILD_TEST", "hello"}};
    command.workingFolder = dir.path.string();
    command.outputFile = (dir.path / "out.log").string();
    const platform::ChildResult result = platform::RunChild(command);
    EXPECT_EQ(result.end, platform::ChildEnd::Exited);
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(ReadText(dir.path / "out.log"), "hello " + fs::canonical(dir.path).string() + "\noops\n");
    // The parent's own environment is untouched.
    EXPECT_EQ(std::getenv("QUARNEL_CHILD_TEST"), nullptr);
}

TEST(ChildProcess, FindsProgramsOnThePathOnly) {
    EXPECT_EQ(platform::FindProgram("sh").front(), '/');
    EXPECT_EQ(platform::FindProgram("quarnel-no-such-program"), "");
    EXPECT_EQ(platform::FindProgram("/nonexistent/sh"), "");
    EXPECT_EQ(platform::FindProgram(""), "");
    platform::ChildCommand missing;
    missing.arguments = {"quarnel-no-such-program"};
    EXPECT_EQ(platform::RunChild(missing).end, platform::ChildEnd::NotStarted);
    EXPECT_EQ(platform::RunChild(platform::ChildCommand{}).end, platform::ChildEnd::NotStarted);
}

TEST(ChildProcess, RunChildEndsAStoppedOrLateChildWithWhatItStarted) {
    Folder dir;
    platform::ChildCommand command;
    command.arguments = {"sh", "-c", "sleep 30 & echo $! > sleeper.pid; wait"};
    command.workingFolder = dir.path.string();
    command.stopRequested = [&] { return fs::exists(dir.path / "sleeper.pid"); };
    const auto begin = std::chrono::steady_clock::now();
    const platform::ChildResult stopped = platform::RunChild(command);
    EXPECT_EQ(stopped.end, platform::ChildEnd::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    const pid_t sleeper = WaitForPid(dir.path / "sleeper.pid");
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(GoneSoon(sleeper)) << "the grandchild outlived the stop";

    platform::ChildCommand slow;
    slow.arguments = {"sleep", "30"};
    slow.timeLimit = std::chrono::milliseconds(200);
    const platform::ChildResult late = platform::RunChild(slow);
    EXPECT_EQ(late.end, platform::ChildEnd::TimedOut);
    EXPECT_LT(late.seconds, 10.0);

    platform::ChildCommand crash;
    crash.arguments = {"sh", "-c", "kill -SEGV $$"};
    EXPECT_EQ(platform::RunChild(crash).end, platform::ChildEnd::Crashed);
}

TEST(ChildProcess, WhatCannotBeSetUpIsNotStarted) {
    Folder dir;
    platform::ChildCommand command;
    command.arguments = {"sh", "-c", "exit 0"};
    command.workingFolder = (dir.path / "missing").string();
    EXPECT_EQ(platform::RunChild(command).end, platform::ChildEnd::NotStarted);
    command.workingFolder.clear();
    command.outputFile = (dir.path / "missing" / "out.log").string();
    platform::RunningChild child(command);
    EXPECT_FALSE(child.Started());
    EXPECT_TRUE(child.WaitFor(std::chrono::seconds(1)));
    EXPECT_EQ(child.Result().end, platform::ChildEnd::NotStarted);
}

TEST(ChildProcess, ARunningChildIsWatchedInStepsWithItsErrorsApart) {
    Folder dir;
    platform::ChildCommand command;
    command.arguments = {"sh", "-c", "sleep 0.4; echo out; echo err >&2; exit 5"};
    command.outputFile = (dir.path / "out.log").string();
    command.errorFile = (dir.path / "err.log").string();
    platform::RunningChild child(command);
    ASSERT_TRUE(child.Started());
    EXPECT_FALSE(child.WaitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(child.WaitFor(std::chrono::milliseconds(50)));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(child.WaitFor(std::chrono::seconds(10)));
    // Back as soon as it ends, not at the end of the wait.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(child.Result().end, platform::ChildEnd::Exited);
    EXPECT_EQ(child.Result().exitCode, 5);
    EXPECT_GT(child.Result().seconds, 0.3);
    EXPECT_EQ(ReadText(dir.path / "out.log"), "out\n");
    EXPECT_EQ(ReadText(dir.path / "err.log"), "err\n");
}

TEST(ChildProcess, AnInterruptReachesTheChildAndAStopEndsItsGroup) {
    Folder dir;
    platform::ChildCommand command;
    command.arguments = {"sh", "-c",
                         "trap 'exit 130' INT; echo $$ > ready.pid; while :; do sleep 0.05; done"};
    command.workingFolder = dir.path.string();
    command.interruptible = true;
    platform::RunningChild interrupted(command);
    ASSERT_TRUE(interrupted.Started());
    ASSERT_GT(WaitForPid(dir.path / "ready.pid"), 0);
    interrupted.Interrupt();
    ASSERT_TRUE(interrupted.WaitFor(std::chrono::seconds(10)));
    EXPECT_EQ(interrupted.Result().end, platform::ChildEnd::Exited);
    EXPECT_EQ(interrupted.Result().exitCode, 130);

    platform::ChildCommand tree;
    tree.arguments = {"sh", "-c", "sleep 30 & echo $! > sleeper.pid; wait"};
    tree.workingFolder = dir.path.string();
    pid_t sleeper = 0;
    {
        platform::RunningChild child(tree);
        ASSERT_TRUE(child.Started());
        sleeper = WaitForPid(dir.path / "sleeper.pid");
        ASSERT_GT(sleeper, 0);
        child.Stop();
        EXPECT_EQ(child.Result().end, platform::ChildEnd::Stopped);
        EXPECT_TRUE(GoneSoon(sleeper));
    }
    // Dropping a child that still runs ends it as well.
    fs::remove(dir.path / "sleeper.pid");
    {
        platform::RunningChild child(tree);
        ASSERT_TRUE(child.Started());
        sleeper = WaitForPid(dir.path / "sleeper.pid");
        ASSERT_GT(sleeper, 0);
    }
    EXPECT_TRUE(GoneSoon(sleeper));
}

// A process that starts a child and dies without a word: the child must not run on, and an
// interruptible one hears of it as of a Ctrl-C.
TEST(ChildProcess, AChildDoesNotOutliveItsParent) {
    for (const bool interruptible : {false, true}) {
        Folder dir;
        const pid_t parent = ::fork();
        ASSERT_GE(parent, 0);
        if (parent == 0) {
            platform::ChildCommand command;
            command.arguments = {"sh", "-c",
                                 "trap 'echo interrupted > heard; exit 130' INT; sleep 30 & "
                                 "echo $! > sleeper.pid; echo $$ > child.pid; wait"};
            command.workingFolder = dir.path.string();
            command.interruptible = interruptible;
            platform::RunningChild child(command);
            WaitForPid(dir.path / "child.pid");
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(parent, &status, 0), parent);
        const pid_t child = WaitForPid(dir.path / "child.pid");
        ASSERT_GT(child, 0);
        EXPECT_TRUE(GoneSoon(child)) << "interruptible: " << interruptible;
        EXPECT_EQ(fs::exists(dir.path / "heard"), interruptible);
        // Only the child hears of its parent's end; what it started itself is its own affair.
        if (const pid_t sleeper = WaitForPid(dir.path / "sleeper.pid"); sleeper > 0)
            ::kill(sleeper, SIGKILL);
    }
}
