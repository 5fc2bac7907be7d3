// This process's program file, processors, arguments and terminals on Windows, and where work
// folders go.

#include "WinTestSupport.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/StagingFiles.h"
#include "platform/ThisProcess.h"

#include <gtest/gtest.h>

TEST(ThisProcess, ProgramAndProcessors) {
    const std::string program = platform::ProgramFile();
    ASSERT_GT(program.size(), 4u);
    EXPECT_EQ(program.substr(program.size() - 4), ".exe");
    EXPECT_TRUE(platform::gFSO.FileExists(program));
    EXPECT_EQ(platform::gFSO.GetParentFolderName(program), platform::gFSO.ProgramFolder());
    EXPECT_GE(platform::ProcessorCount(), 1);
    EXPECT_LE(platform::ProcessorCount(), 256);
}

// argv holds the ANSI code page; the arguments must come from the wide command line whole.
TEST(ThisProcess, ArgumentsInAnyScriptSurviveAndRedirectedStreamsAreNoTerminals) {
    testsupport::Scratch dir("this-process");
    platform::ChildCommand command;
    command.arguments = {
        testsupport::HelperPath(), "arguments", "資料 1.pptx", "C:\\データ\\", "--jobs=2", ""};
    command.outputFile = dir / "out.txt";
    const platform::ChildResult result = platform::RunChild(command);
    ASSERT_EQ(result.end, platform::ChildEnd::Exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(testsupport::ReadText(dir / "out.txt"),
              "[arguments]\n[資料 1.pptx]\n[C:\\データ\\]\n[--jobs=2]\n[]\nnone\nnone\nnone\n");
}

TEST(ThisProcess, WorkFoldersGoUnderTheUsersTemporaryFolder) {
    const std::filesystem::path root = platform::WorkFolderRoot();
    EXPECT_EQ(platform::PathToUtf8(root), platform::gFSO.GetTempFolder());
    EXPECT_TRUE(std::filesystem::is_directory(root));
}

TEST(ThisProcess, FilesThatCannotBeWrittenAreTold) {
    testsupport::Scratch dir("writable-資料");
    const std::string file = dir / "読み取り専用.txt";
    testsupport::Touch(file);
    EXPECT_TRUE(platform::IsFileWritable(file));
    SetFileAttributesW(platform::Widen(file).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(platform::IsFileWritable(file));
    SetFileAttributesW(platform::Widen(file).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(platform::IsFileWritable(dir / "無い.txt"));
}
