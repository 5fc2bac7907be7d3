// The helper-program runner on Windows: arguments and environment as the child sees them, output
// capture, program lookup, and that no process of the child's tree outlives the run or its parent.

#include "WinTestSupport.h"
#include "platform/ChildProcess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using testsupport::HelperPath;
using testsupport::ReadText;
using testsupport::Running;

// The "<spawner pid> <sleeper pid>" the helper's spawn mode writes, once the file is there.
bool ReadPids(const std::string& file, DWORD& spawner, DWORD& sleeper) {
    std::istringstream in(ReadText(file));
    return static_cast<bool>(in >> spawner >> sleeper);
}

bool GoneWithin(DWORD pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !Running(pid);
}

} // namespace

TEST(ChildProcess, ArgumentsEnvironmentFolderAndOutputReachTheChildIntact) {
    testsupport::Scratch dir("child-資料");
    platform::ChildCommand command;
    // Blanks, quotes, trailing backslashes and an empty argument each survive the command line.
    command.arguments = {HelperPath(), "report",   "two words", "say \"hi\"",
                         "C:\\end\\",  "a\\\\\"b", "",          "資料.pptx"};
    command.environment = {{"QUARNEL_CHILD_TEST", "こんにちは"}};
    command.workingFolder = dir.path();
    command.outputFile = dir / "出力.log";
    const platform::ChildResult result = platform::RunChild(command);
    EXPECT_EQ(result.end, platform::ChildEnd::Exited);
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(ReadText(dir / "出力.log"), "こんにちは " + dir.path() +
                                              "\n[two words]\n[say \"hi\"]\n[C:\\end\\]\n[a\\\\\"b]\n[]\n"
                                              "[資料.pptx]\noops\n");
    // The parent's own environment is untouched.
    EXPECT_EQ(GetEnvironmentVariableW(L"QUARNEL_CHILD_TEST", nullptr, 0), 0u);
}

TEST(ChildProcess, FindsProgramsBesideItselfThenOnThePath) {
    const std::string cmd = platform::FindProgram("cmd");
    ASSERT_GT(cmd.size(), 8u);
    EXPECT_EQ(cmd.substr(cmd.size() - 8), "\\cmd.exe");
    EXPECT_EQ(platform::FindProgram("cmd.exe"), cmd);
    EXPECT_EQ(platform::FindProgram("quarnel-no-such-program"), "");
    EXPECT_EQ(platform::FindProgram("C:\\nonexistent\\cmd.exe"), "");
    EXPECT_EQ(platform::FindProgram(""), "");
    // A path is taken as given, with ".exe" added when it has no extension.
    const std::string helper = HelperPath();
    EXPECT_EQ(platform::FindProgram(helper), helper);
    EXPECT_EQ(platform::FindProgram(helper.substr(0, helper.size() - 4)), helper);
    // A bare name is looked for in the program's own folder before PATH, as Windows does.
    EXPECT_EQ(platform::FindProgram("quarnel-test-helper"), helper);
    platform::ChildCommand missing;
    missing.arguments = {"quarnel-no-such-program"};
    EXPECT_EQ(platform::RunChild(missing).end, platform::ChildEnd::NotStarted);
    EXPECT_EQ(platform::RunChild(platform::ChildCommand{}).end, platform::ChildEnd::NotStarted);
}

TEST(ChildProcess, TimeLimitAndCrashAreToldApart) {
    platform::ChildCommand slow;
    slow.arguments = {HelperPath(), "sleep", "30000"};
    slow.timeLimit = std::chrono::milliseconds(300);
    const platform::ChildResult timedOut = platform::RunChild(slow);
    EXPECT_EQ(timedOut.end, platform::ChildEnd::TimedOut);
    EXPECT_LT(timedOut.seconds, 10.0);

    platform::ChildCommand crash;
    crash.arguments = {HelperPath(), "crash"};
    const platform::ChildResult crashed = platform::RunChild(crash);
    EXPECT_EQ(crashed.end, platform::ChildEnd::Crashed);
    EXPECT_EQ(crashed.exitCode, -1);
}

TEST(ChildProcess, AStopEndsTheChildAndEverythingItStarted) {
    testsupport::Scratch dir("child-stop");
    const std::string pidFile = dir / "pids.txt";
    platform::ChildCommand command;
    command.arguments = {HelperPath(), "spawn", pidFile};
    DWORD spawner = 0;
    DWORD sleeper = 0;
    command.stopRequested = [&] { return ReadPids(pidFile, spawner, sleeper); };
    const platform::ChildResult result = platform::RunChild(command);
    EXPECT_EQ(result.end, platform::ChildEnd::Stopped);
    ASSERT_NE(sleeper, 0u);
    // Gone when RunChild returns, not some time later.
    EXPECT_FALSE(Running(spawner));
    EXPECT_FALSE(Running(sleeper)) << "the grandchild outlived the stop";
}

TEST(ChildProcess, TheChildTreeEndsWithItsParent) {
    testsupport::Scratch dir("child-parent");
    const std::string pidFile = dir / "pids.txt";
    // The helper's "parent" mode runs "spawn" through RunChild; the parent is then killed outright,
    // with no chance to clean up: the job it held must take its children along.
    testsupport::Started parent = testsupport::StartHelper(HelperPath(), "parent \"" + pidFile + "\"");
    ASSERT_NE(parent.process, nullptr);
    DWORD spawner = 0;
    DWORD sleeper = 0;
    for (int i = 0; i < 500 && !ReadPids(pidFile, spawner, sleeper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(sleeper, 0u) << "the helper tree did not start";
    EXPECT_TRUE(Running(sleeper));
    testsupport::EndHelper(parent);
    EXPECT_TRUE(GoneWithin(spawner, std::chrono::seconds(5)));
    EXPECT_TRUE(GoneWithin(sleeper, std::chrono::seconds(5))) << "the grandchild outlived its parent";
}

TEST(ChildProcess, ARunningChildIsWatchedInStepsWithItsErrorsApart) {
    testsupport::Scratch dir("child-steps");
    platform::ChildCommand command;
    command.arguments = {HelperPath(), "report", "x"};
    command.outputFile = dir / "出力.log";
    command.errorFile = dir / "エラー.log";
    platform::RunningChild child(command);
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitFor(std::chrono::seconds(20)));
    EXPECT_EQ(child.Result().end, platform::ChildEnd::Exited);
    EXPECT_EQ(child.Result().exitCode, 7);
    EXPECT_EQ(ReadText(dir / "エラー.log"), "oops\n");
    EXPECT_EQ(ReadText(dir / "出力.log").find("oops"), std::string::npos);

    platform::ChildCommand slow;
    slow.arguments = {HelperPath(), "sleep", "30000"};
    platform::RunningChild sleeper(slow);
    ASSERT_TRUE(sleeper.Started());
    EXPECT_FALSE(sleeper.WaitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(sleeper.WaitFor(std::chrono::milliseconds(100)));
    sleeper.Stop();
    EXPECT_TRUE(sleeper.WaitFor(std::chrono::milliseconds(0)));
    EXPECT_EQ(sleeper.Result().end, platform::ChildEnd::Stopped);

    platform::ChildCommand nowhere = slow;
    nowhere.workingFolder = dir / "missing";
    platform::RunningChild unstarted(nowhere);
    EXPECT_FALSE(unstarted.Started());
    EXPECT_EQ(unstarted.Result().end, platform::ChildEnd::NotStarted);
}

TEST(ChildProcess, DroppingARunningChildEndsItsTree) {
    testsupport::Scratch dir("child-drop");
    const std::string pidFile = dir / "pids.txt";
    DWORD spawner = 0;
    DWORD sleeper = 0;
    {
        platform::ChildCommand command;
        command.arguments = {HelperPath(), "spawn", pidFile};
        platform::RunningChild child(command);
        ASSERT_TRUE(child.Started());
        for (int i = 0; i < 500 && !ReadPids(pidFile, spawner, sleeper); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(sleeper, 0u);
    }
    EXPECT_FALSE(Running(spawner));
    EXPECT_FALSE(Running(sleeper));
}

TEST(ChildProcess, AnInterruptReachesAnInterruptibleChild) {
    // Ctrl-Break travels through a console (one need not have a window). A run that has none and
    // cannot make one, as Wine started from a pipe, has nothing to carry it.
    if (GetConsoleCP() == 0 && !AllocConsole())
        GTEST_SKIP() << "no console";
    testsupport::Scratch dir("child-break");
    platform::ChildCommand command;
    command.arguments = {HelperPath(), "breakable", dir / "ready"};
    command.interruptible = true;
    platform::RunningChild child(command);
    ASSERT_TRUE(child.Started());
    for (int i = 0; i < 500 && !platform::gFSO.FileExists(dir / "ready"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(platform::gFSO.FileExists(dir / "ready"));
    child.Interrupt();
    ASSERT_TRUE(child.WaitFor(std::chrono::seconds(20)));
    EXPECT_EQ(child.Result().end, platform::ChildEnd::Exited);
    EXPECT_EQ(child.Result().exitCode, 130);
}

TEST(ChildProcess, LibreOfficeIsFoundWhereItsInstallerPutsIt) {
    testsupport::Scratch dir("プログラム");
    const std::wstring folder = platform::Widen(dir.path());
    const wchar_t* variables[] = {L"ProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)"};
    std::vector<std::wstring> saved;
    for (const wchar_t* variable : variables) {
        wchar_t value[MAX_PATH] = {};
        saved.emplace_back(value, GetEnvironmentVariableW(variable, value, MAX_PATH));
        SetEnvironmentVariableW(variable, folder.c_str());
    }
    const std::string before = platform::FindInstalledLibreOffice();
    std::filesystem::create_directories(platform::PathFromUtf8(dir / "LibreOffice\\program"));
    testsupport::Touch(dir / "LibreOffice\\program\\soffice.exe");
    const std::string found = platform::FindInstalledLibreOffice();
    for (std::size_t i = 0; i < saved.size(); ++i)
        SetEnvironmentVariableW(variables[i], saved[i].empty() ? nullptr : saved[i].c_str());
    EXPECT_EQ(before, "");
    EXPECT_EQ(found, dir / "LibreOffice\\program\\soffice.exe");
}
