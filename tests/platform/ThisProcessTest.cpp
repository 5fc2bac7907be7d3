// This process's program file, processors, arguments and terminals, and where work folders go.

#include "platform/ThisProcess.h"

#include "platform/StagingFiles.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// Sets or clears an environment variable for one test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(ThisProcess, ProgramProcessorsAndArguments) {
    const std::string program = platform::ProgramFile();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.front(), '/');
    EXPECT_NE(program.find("test_platform"), std::string::npos);
    EXPECT_GE(platform::ProcessorCount(), 1);
    EXPECT_LE(platform::ProcessorCount(), 256);

    char name[] = "quarnel-cli";
    char deck[] = "資料 1.pptx";
    char option[] = "--jobs=2";
    char* argv[] = {name, deck, option, nullptr};
    EXPECT_EQ(platform::CommandLineArguments(3, argv), (std::vector<std::string>{"資料 1.pptx", "--jobs=2"}));
    EXPECT_TRUE(platform::CommandLineArguments(1, argv).empty());
}

TEST(ThisProcess, TheNullDeviceIsNoTerminal) {
    const int saved = ::dup(STDIN_FILENO);
    ASSERT_GE(saved, 0);
    const int null = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(null, 0);
    ::dup2(null, STDIN_FILENO);
    ::close(null);
    const bool terminal = platform::IsTerminal(platform::StandardStream::Input);
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    EXPECT_FALSE(terminal);
}

TEST(ThisProcess, WorkFoldersGoUnderAnAbsoluteTmpdirElseTmp) {
    {
        ScopedVariable tmp("TMPDIR", "/var/quarnel-scratch");
        EXPECT_EQ(platform::WorkFolderRoot(), "/var/quarnel-scratch");
    }
    {
        ScopedVariable tmp("TMPDIR", "relative/folder");
        EXPECT_EQ(platform::WorkFolderRoot(), "/tmp");
    }
    {
        ScopedVariable tmp("TMPDIR", nullptr);
        EXPECT_EQ(platform::WorkFolderRoot(), "/tmp");
    }
}
