// The helper-program runner: exit codes, environment, output capture, program lookup.

#include "platform/ChildProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
