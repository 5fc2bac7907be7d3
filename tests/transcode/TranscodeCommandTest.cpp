#include "transcode/TranscodeCommand.h"

#include "FakeHost.h"
#include "platform/ChildProcess.h"
#include "platform/StagingFiles.h"
#include "tests/support/WorkFolders.h"

#include <QDateTime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <stdlib.h>
#include <unistd.h>

using namespace transcode;

namespace {

class Scratch {
public:
    Scratch() { path_ = testsupport::Utf8(testsupport::MakeWorkFolder("quarnel-transcode-")); }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(testsupport::PathOf(path_), ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(testsupport::PathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Harness {
    FakeHost host;
    bool stop = false;
    RandomSequence random;
    std::vector<std::pair<std::string, std::string>> resolveCalls;
    std::string resolveAnswer = "<same>";
    TranscodeEnvironment env{host, stop, random,
                             [this](std::string base, std::string ext) {
                                 resolveCalls.emplace_back(base, ext);
                                 return resolveAnswer == "<same>" ? base : resolveAnswer;
                             },
                             "/opt/quarnel"};
};

} // namespace

TEST(TranscodeTemplate, ExtensionComesFromFirstDotToClosingQuote) {
    EXPECT_EQ(OutputExtensionOf(R"("/usr/bin/ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.wmv")"), "wmv");
    EXPECT_EQ(OutputExtensionOf(R"("/usr/bin/ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.WMV ")"), "WMV");
    EXPECT_EQ(OutputExtensionOf(R"("/usr/bin/ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.mpeg4")"), "");
    EXPECT_EQ(OutputExtensionOf(R"("/usr/bin/ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.wmv)"), "");
    EXPECT_EQ(OutputExtensionOf(R"("/usr/bin/ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.wmv" -y)"), "");
    // A dot earlier on the line starts the capture there, so the result is too long.
    EXPECT_EQ(OutputExtensionOf(R"("C:\tools\ffmpeg.exe" -i "<%InputFile%>" "<%OutputFile%>.wmv")"), "");
    EXPECT_EQ(OutputExtensionOf(R"("<%OutputFile%>.動画")"), "動画"); // four characters at most, not bytes
    EXPECT_EQ(OutputExtensionOf(R"("<%OutputFile%>.動画ファイル")"), "");
}

TEST(TranscodeTemplate, PlaceholdersAreReplacedOnceAndValuesAreNeverSearchedAgain) {
    PlaceholderValues v;
    v.appPath = "/opt/q";
    v.inputFile = "/in/a <%Title%>.mp4";
    v.outputFile = "/out/a";
    v.temporaryFile = "/out.tmp";
    v.timeStamp = "2026/12/07 10:00:00";
    v.randomNumber5 = "12345";
    const std::string filled =
        FillPlaceholders("<%AppPath%>/ff <%InputFile%> <%InputFile%> <%OutputFile%>.wmv <%TemporaryFile%> "
                         "<%Title%> <%TimeStamp%> <%RandomNumber5%> <%inputfile%> <%%Title%>",
                         v);
    // A file name holding a placeholder keeps it: it is a name, not part of the template.
    EXPECT_EQ(filled, "/opt/q/ff /in/a <%Title%>.mp4 /in/a <%Title%>.mp4 /out/a.wmv /out.tmp none "
                      "2026/12/07 10:00:00 12345 <%inputfile%> <%%Title%>");
}

TEST(TranscodeTemplate, TimeStampIsTheLocalDateAndClockTime) {
    const QDateTime before = QDateTime::currentDateTime();
    const std::string stamp = CurrentTimeStampText();
    const QDateTime after = QDateTime::currentDateTime();
    // Whatever the locale's forms, the year and the minute appear (the minute may turn meanwhile).
    EXPECT_NE(stamp.find(before.toString(QStringLiteral("yy")).toStdString()), std::string::npos) << stamp;
    const bool hasMinute =
        stamp.find(before.toString(QStringLiteral("mm")).toStdString()) != std::string::npos ||
        stamp.find(after.toString(QStringLiteral("mm")).toStdString()) != std::string::npos;
    EXPECT_TRUE(hasMinute) << stamp;
    EXPECT_EQ(stamp.find("<%"), std::string::npos);
}

TEST(TranscodeTemplate, RandomSequenceRepeatsFromEachStart) {
    RandomSequence a;
    RandomSequence b;
    std::set<double> seen;
    for (int i = 0; i < 50; ++i) {
        const double x = a.Next();
        EXPECT_EQ(x, b.Next());
        EXPECT_GE(x, 0.0);
        EXPECT_LT(x, 1.0);
        seen.insert(x);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(TranscodeTemplate, FolderTreeIsCreatedWithItsParents) {
    Scratch dir;
    const std::string deep = dir.path() + "/one/two/three";
    CreateFolderTree(deep);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    CreateFolderTree(deep); // existing: nothing happens
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    CreateFolderTree(dir.path() + "/one/two/three/four/");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/one/two/three/four"));
}

TEST(TranscodeCommand, CancelAtSameNameReturnsTwoAndDoesNothing) {
    Scratch dir;
    Harness h;
    h.resolveAnswer = "";
    std::string ext = "old";
    const std::string base = dir.path() + "/a/b/movie【圧縮】";
    const int result =
        RunTranscodeCommand(h.env, R"("/bin/sh" -c "exit 0" "<%OutputFile%>.wmv")", "/in.mp4", base, ext);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(ext, "old");
    ASSERT_EQ(h.resolveCalls.size(), 1u);
    EXPECT_EQ(h.resolveCalls[0], std::make_pair(base, std::string("wmv")));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/a"));
    EXPECT_TRUE(h.host.statuses.empty());
}

TEST(TranscodeCommand, RunsInTheCreatedOutputFolderAndReturnsTheExitCode) {
    Scratch dir;
    Harness h;
    const std::string chosen = dir.path() + "/x/y/renamed";
    h.resolveAnswer = chosen;
    std::string ext;
    std::string used;
#ifdef _WIN32
    // The stand-in beside this test (EncoderStandIn_win.cpp) does what the shell does on POSIX.
    const std::string tmpl =
        R"("quarnel-test-encoder" at-end-exit 7 write seen "<%Title%>,<%RandomNumber5%>,<%OutputFile%>.avi")";
    const std::string displayName = "quarnel-test-encoder";
#else
    const std::string tmpl =
        R"("/bin/sh" -c "printf %s <%Title%>,<%RandomNumber5%>,$0 > seen; exit 7" "<%OutputFile%>.avi")";
    const std::string displayName = "sh";
#endif
    const int result = RunTranscodeCommand(h.env, tmpl, "/in.mp4", dir.path() + "/x/y/original", ext, &used);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(ext, "avi");
    EXPECT_EQ(used, chosen);
    RandomSequence fresh;
    const std::string expectedRandom = std::to_string(static_cast<long>(fresh.Next() * 100000.0));
    // The encoder writes under a staging name of this process beside the output, never the output's own
    // name.
    const std::string seen = ReadText(dir.path() + "/x/y/seen");
    const std::string prefix = "none," + expectedRandom + "," + testsupport::Native(dir.path() + "/x/y/");
    ASSERT_EQ(seen.substr(0, prefix.size()), prefix);
    const auto staging = platform::ParseStagingName(seen.substr(prefix.size()));
    ASSERT_TRUE(staging) << seen;
    EXPECT_EQ(staging->kind, platform::kStagingEncode);
    EXPECT_EQ(staging->pid, ::getpid());
    EXPECT_EQ(staging->target, "renamed.avi");
    ASSERT_FALSE(h.host.statuses.empty());
    EXPECT_EQ(h.host.statuses.front(), displayName + " 処理中...1秒経過");
}

TEST(TranscodeCommand, TemplateWithoutClosingQuoteGivesNameEndingInDot) {
    Scratch dir;
    Harness h;
    std::string ext = "old";
#ifdef _WIN32
    const std::string tmpl = R"("quarnel-test-encoder" touch <%OutputFile%>.wmv)";
#else
    const std::string tmpl = R"("/bin/sh" -c "printf x > \"$0\"" <%OutputFile%>.wmv)";
#endif
    const int result = RunTranscodeCommand(h.env, tmpl, "/in.mp4", dir.path() + "/out", ext);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ext, "");
    ASSERT_EQ(h.resolveCalls.size(), 1u);
    EXPECT_EQ(h.resolveCalls[0].second, "");
}

TEST(TranscodeCommand, RealEncoderTranscodesATinyClip) {
#ifdef _WIN32
    // ffmpeg.exe as the program finds it: beside it or on PATH. The template names it as the shipped
    // profiles do, since a path's ".exe" would be the first dot on the line.
    const std::string ffmpeg = platform::FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Scratch dir;
    const std::string clip = dir.path() + "/clip.mp4";
    platform::ChildCommand make;
    make.arguments = {ffmpeg,     "-v",      "error", "-y",
                      "-f",       "lavfi",   "-i",    "testsrc=duration=1:size=64x64:rate=10",
                      "-pix_fmt", "yuv420p", clip};
    ASSERT_EQ(platform::RunChild(make).exitCode, 0);
    const std::string tmpl = R"("ffmpeg" -v error -y -i "<%InputFile%>" -c:v mpeg4 -an "<%OutputFile%>.avi")";
#else
    const std::string ffmpeg = "/usr/bin/ffmpeg";
    if (!std::filesystem::exists(ffmpeg)) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Scratch dir;
    const std::string clip = dir.path() + "/clip.mp4";
    const std::string make = ffmpeg + " -v error -y -f lavfi -i testsrc=duration=1:size=64x64:rate=10 " +
                             "-pix_fmt yuv420p \"" + clip + "\"";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::string tmpl =
        "\"" + ffmpeg + R"(" -v error -y -i "<%InputFile%>" -c:v mpeg4 -an "<%OutputFile%>.avi")";
#endif
    Harness h;
    std::string ext;
    const int result = RunTranscodeCommand(h.env, tmpl, clip, dir.path() + "/out/sub/clip【圧縮】", ext);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ext, "avi");
    const std::string output = dir.path() + "/out/sub/clip【圧縮】.avi";
    ASSERT_TRUE(std::filesystem::exists(testsupport::PathOf(output)));
    EXPECT_GT(std::filesystem::file_size(testsupport::PathOf(output)), 1000u);
    ASSERT_FALSE(h.host.statuses.empty());
    EXPECT_EQ(h.host.statuses.front(), "動画圧縮中...1秒経過");
}
