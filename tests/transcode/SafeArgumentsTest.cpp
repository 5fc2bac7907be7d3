// Hostile file names against the command template: each name must reach the encoder as exactly the
// argument the template put it in, and outputs appear only under their real name and only on success.

#include "FakeHost.h"
#include "tests/support/WorkFolders.h"
#include "transcode/Encoder.h"
#include "transcode/TranscodeCommand.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdlib.h>
#include <string>
#include <vector>

using namespace transcode;

namespace {

const char* const kHostileNames[] = {
    "quote\"d.mp4",
    "$(touch pwned).mp4",
    "semi;rm -rf x.mp4",
    "-y.mp4",
    "sp  a ce.mp4",
    "動画 ファイル.mp4",
    "back\\slash'single'.mp4",
    "<%OutputFile%>.mp4",
    "tab\tname.mp4",
    // What cmd.exe would act on, were a command line ever handed to it.
    "a & mkdir pwned & b.mp4",
    "%OS% ^caret !x!.mp4",
};

// The names a file can have here: Windows allows no quotes, angle brackets, backslashes or control
// characters in a name.
std::vector<std::string> HostileFileNames() {
    std::vector<std::string> names;
    for (const std::string name : kHostileNames) {
#ifdef _WIN32
        if (name.find_first_of("\"<>\\|?*\t") != std::string::npos) {
            continue;
        }
#endif
        names.push_back(name);
    }
    return names;
}

std::string Scratch() {
    return testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-safe-"));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(testsupport::PathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(testsupport::PathOf(path), std::ios::binary) << text;
}

} // namespace

TEST(SafeArguments, AFileNameNeverAddsRemovesOrChangesAnArgument) {
    const std::string tmpl = R"("ffmpeg" -y -i "<%InputFile%>" -vf "scale=-2:720" "<%OutputFile%>.mp4")";
    for (const char* name : kHostileNames) {
        PlaceholderValues v;
        v.inputFile = std::string("/in/") + name;
        v.outputFile = std::string("/out/") + name + "【圧縮】";
        const std::vector<std::string> args = FillArguments(tmpl, v);
        ASSERT_EQ(args.size(), 7u) << name;
        EXPECT_EQ(args[0], "ffmpeg");
        EXPECT_EQ(args[1], "-y");
        EXPECT_EQ(args[2], "-i");
        EXPECT_EQ(args[3], v.inputFile) << name;
        EXPECT_EQ(args[4], "-vf");
        EXPECT_EQ(args[5], "scale=-2:720");
        EXPECT_EQ(args[6], v.outputFile + ".mp4") << name;
    }
}

TEST(SafeArguments, RelativePathsStartingWithADashAreNotOptions) {
    PlaceholderValues v;
    v.inputFile = "-i.mp4";
    v.outputFile = "-f";
    v.temporaryFile = "-t.tmp";
    const auto args = FillArguments(R"("ffmpeg" -i <%InputFile%> <%TemporaryFile%> "<%OutputFile%>.mp4")", v);
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[2], "./-i.mp4");
    EXPECT_EQ(args[3], "./-t.tmp");
    EXPECT_EQ(args[4], "./-f.mp4");
    // Options the template itself writes keep their dash.
    EXPECT_EQ(args[1], "-i");
}

TEST(SafeArguments, HostileNamesReachTheProgramIntactAndNothingElseRuns) {
    const std::string dir = Scratch();
    ASSERT_FALSE(dir.empty());
    const std::vector<std::string> names = HostileFileNames();
    ASSERT_GE(names.size(), 7u);
    for (const std::string& name : names) {
        const std::string input = dir + "/" + name;
        WriteText(input, input); // the copy has it only when the copier got the exact path
        FakeHost host;
        bool stop = false;
        RandomSequence random;
        TranscodeEnvironment env{host, stop, random, nullptr, "/opt/quarnel"};
        std::string ext;
        std::string used;
#ifdef _WIN32
        const std::string tmpl = R"("quarnel-test-encoder" copy "<%InputFile%>" "<%OutputFile%>.txt")";
#else
        const std::string tmpl = R"("/bin/cp" -- "<%InputFile%>" "<%OutputFile%>.txt")";
#endif
        const std::string base = dir + "/" + name + "【圧縮】";
        ASSERT_EQ(RunTranscodeCommand(env, tmpl, input, base, ext, &used), 0) << name;
        EXPECT_EQ(ext, "txt");
        EXPECT_EQ(used, base);
        EXPECT_EQ(ReadText(base + ".txt"), input) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(dir + "/pwned")));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    std::filesystem::remove_all(testsupport::PathOf(dir));
}

TEST(SafeArguments, FailureAndStopLeaveNoPartialOutputAndKeepAnExistingFile) {
    const std::string dir = Scratch();
    ASSERT_FALSE(dir.empty());
    const std::string base = dir + "/clip【圧縮】";
    WriteText(base + ".mp4", "the older output");
    FakeHost host;
    bool stop = false;
    RandomSequence random;
    TranscodeEnvironment env{host, stop, random, nullptr, "/opt/quarnel"};
    std::string ext;
#ifdef _WIN32
    // The stand-in copies an input holding what the shell writes on POSIX; the inputs lie elsewhere,
    // so that the output folder holds the outputs alone.
    const std::string inputs = Scratch();
    WriteText(inputs + "/half.mp4", "half");
    WriteText(inputs + "/part.mp4", "part");
    WriteText(inputs + "/new.mp4", "new");
    const std::string writeHalfAndFail =
        R"("quarnel-test-encoder" at-end-exit 1 copy "<%InputFile%>" "<%OutputFile%>.mp4")";
    const std::string writeAndRunOn =
        R"("quarnel-test-encoder" at-end-sleep 30 copy "<%InputFile%>" "<%OutputFile%>.mp4")";
    const std::string writeNew = R"("quarnel-test-encoder" copy "<%InputFile%>" "<%OutputFile%>.mp4")";
#else
    const std::string inputs = dir;
    const std::string writeHalfAndFail = R"("/bin/sh" -c "printf half > $0; exit 1" "<%OutputFile%>.mp4")";
    const std::string writeAndRunOn = R"("/bin/sh" -c "printf part > $0; sleep 30" "<%OutputFile%>.mp4")";
    const std::string writeNew = R"("/bin/sh" -c "printf new > $0" "<%OutputFile%>.mp4")";
#endif

    // Writes half a file and fails.
    EXPECT_EQ(RunTranscodeCommand(env, writeHalfAndFail, inputs + "/half.mp4", base, ext), 1);
    EXPECT_EQ(ReadText(base + ".mp4"), "the older output");

    // Writes, then keeps running until Stop, pressed in the run's second round (a second on), once
    // the file is written.
    host.eventRounds = 0;
    host.onEvents = [&stop](int round) {
        if (round == 2) {
            stop = true;
        }
    };
    EXPECT_EQ(RunTranscodeCommand(env, writeAndRunOn, inputs + "/part.mp4", base, ext), -1);
    EXPECT_EQ(ReadText(base + ".mp4"), "the older output");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(testsupport::PathOf(dir))) {
        ++files;
    }
    EXPECT_EQ(files, 1u); // no staging file left behind

    // Success replaces it.
    host.onEvents = nullptr;
    EXPECT_EQ(RunTranscodeCommand(env, writeNew, inputs + "/new.mp4", base, ext), 0);
    EXPECT_EQ(ReadText(base + ".mp4"), "new");
    std::filesystem::remove_all(testsupport::PathOf(dir));
#ifdef _WIN32
    std::filesystem::remove_all(testsupport::PathOf(inputs));
#endif
}
