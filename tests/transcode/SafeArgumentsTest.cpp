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

using namespace transcode;

namespace {

const char* const kHostileNames[] = {
    "quote\"d.mp4",      "$(touch pwned).mp4",      "semi;rm -rf x.mp4",  "-y.mp4",        "sp  a ce.mp4",
    "動画 ファイル.mp4", "back\\slash'single'.mp4", "<%OutputFile%>.mp4", "tab\tname.mp4",
};

std::string Scratch() {
    return testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-safe-"));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    for (const char* name : kHostileNames) {
        const std::string input = dir + "/" + name;
        std::ofstream(input) << input; // cp copies it only when it got the exact path
        FakeHost host;
        bool stop = false;
        RandomSequence random;
        TranscodeEnvironment env{host, stop, random, nullptr, "/opt/quarnel"};
        std::string ext;
        std::string used;
        const std::string tmpl = R"("/bin/cp" -- "<%InputFile%>" "<%OutputFile%>.txt")";
        const std::string base = dir + "/" + name + "【圧縮】";
        ASSERT_EQ(RunTranscodeCommand(env, tmpl, input, base, ext, &used), 0) << name;
        EXPECT_EQ(ext, "txt");
        EXPECT_EQ(used, base);
        EXPECT_EQ(ReadText(base + ".txt"), input) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/pwned"));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    std::filesystem::remove_all(dir);
}

TEST(SafeArguments, FailureAndStopLeaveNoPartialOutputAndKeepAnExistingFile) {
    const std::string dir = Scratch();
    ASSERT_FALSE(dir.empty());
    const std::string base = dir + "/clip【圧縮】";
    std::ofstream(base + ".mp4") << "the older output";
    FakeHost host;
    bool stop = false;
    RandomSequence random;
    TranscodeEnvironment env{host, stop, random, nullptr, "/opt/quarnel"};
    std::string ext;

    // Writes half a file and fails.
    EXPECT_EQ(RunTranscodeCommand(env, R"("/bin/sh" -c "printf half > $0; exit 1" "<%OutputFile%>.mp4")",
                                  dir + "/in.mp4", base, ext),
              1);
    EXPECT_EQ(ReadText(base + ".mp4"), "the older output");

    // Writes, then keeps running until Stop.
    host.onEvents = [&stop](int round) {
        if (round == 2) {
            stop = true;
        }
    };
    EXPECT_EQ(RunTranscodeCommand(env, R"("/bin/sh" -c "printf part > $0; sleep 30" "<%OutputFile%>.mp4")",
                                  dir + "/in.mp4", base, ext),
              -1);
    EXPECT_EQ(ReadText(base + ".mp4"), "the older output");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++files;
    }
    EXPECT_EQ(files, 1u); // no staging file left behind

    // Success replaces it.
    host.onEvents = nullptr;
    EXPECT_EQ(RunTranscodeCommand(env, R"("/bin/sh" -c "printf new > $0" "<%OutputFile%>.mp4")",
                                  dir + "/in.mp4", base, ext),
              0);
    EXPECT_EQ(ReadText(base + ".mp4"), "new");
    std::filesystem::remove_all(dir);
}
