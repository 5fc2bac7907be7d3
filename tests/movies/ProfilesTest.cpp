// The profile file: the shipped one loads with Japanese names and matching tables; missing and damaged
// files give a reason instead of tables; profiles are found by name or position.

#include "batch/InputList.h"
#include "batch/TranscodingProfiles.h"
#include "tests/support/WorkFolders.h"
#include "transcode/TranscodeCommand.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

using namespace batch;

namespace {

std::string WriteTemp(const std::string& text) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarnel-ini-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd >= 0) {
        ::close(fd);
    }
    std::ofstream(pattern, std::ios::binary) << text;
    return pattern;
}

} // namespace

TEST(TranscodingProfiles, ShippedFileGivesThreeMovieAndThreeSoundProfiles) {
    MovieProfiles p;
    ASSERT_EQ(LoadTranscodingProfiles(QUARNEL_PROFILE_FILE, p), std::nullopt);
    ASSERT_EQ(p.MovieProfileTable.size(), 3u);
    ASSERT_EQ(p.GeneralProfileTable.size(), p.MovieProfileTable.size());
    EXPECT_EQ(ProfileNames(p),
              (std::vector<std::string>{"標準 (720p)", "高画質 (1080p)", "軽量 (480p・30fps)"}));
    for (const auto* table : {&p.MovieProfileTable, &p.GeneralProfileTable}) {
        for (const auto& profile : *table) {
            ASSERT_EQ(profile.Commands.size(), 1u) << profile.Name;
            const std::string& command = profile.Commands.front();
            // The encoder stands first in quotes and the extension is readable from the template.
            EXPECT_EQ(command.rfind("\"ffmpeg\"", 0), 0u) << command;
            const std::string ext = transcode::OutputExtensionOf(command);
            EXPECT_EQ(ext, table == &p.MovieProfileTable ? "mp4" : "m4a") << command;
            EXPECT_NE(command.find("+faststart"), std::string::npos);
        }
    }
}

TEST(TranscodingProfiles, MissingAndDamagedFilesGiveAReasonAndNoTables) {
    MovieProfiles p;
    p.MovieProfileTable.push_back({"old", {"x"}});
    const auto missing = LoadTranscodingProfiles("/no/such/Transcoding.ini", p);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(*missing, "ﾌｧｲﾙがありません");
    EXPECT_TRUE(p.MovieProfileTable.empty());

    const std::string noCommand =
        WriteTemp("[MovieProfile0]\nName=a\n[GeneralProfile0]\nName=b\nCommand0=x\n");
    const auto damaged = LoadTranscodingProfiles(noCommand, p);
    ASSERT_TRUE(damaged.has_value());
    EXPECT_NE(damaged->find("MovieProfile0"), std::string::npos) << *damaged;
    EXPECT_TRUE(p.MovieProfileTable.empty());
    EXPECT_TRUE(p.GeneralProfileTable.empty());

    const std::string binary = WriteTemp(std::string("\0\x01\x02garbage\xff\xfe", 12));
    EXPECT_TRUE(LoadTranscodingProfiles(binary, p).has_value());
    std::filesystem::remove(noCommand);
    std::filesystem::remove(binary);
}

TEST(TranscodingProfiles, CommandsAreTakenAsWrittenAndStopAtTheFirstGap) {
    // Shift-JIS text from the Windows version decodes; quotes around a command stay; Command2 after a gap
    // is not read; sections end at the first missing number.
    const std::string text = "; comment\r\n[movieprofile0]\r\nname=\x95\x57\x8f\x80\r\n"
                             "Command0=\"a\" -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"\r\n"
                             "Command1=\"b\"\r\nCommand3=\"never\"\r\n[MovieProfile2]\r\nName=skipped\r\n"
                             "Command0=x\r\n[GeneralProfile0]\r\nName=g\r\nCommand0=y\r\n";
    const std::string path = WriteTemp(text);
    MovieProfiles p;
    ASSERT_EQ(LoadTranscodingProfiles(path, p), std::nullopt);
    ASSERT_EQ(p.MovieProfileTable.size(), 1u);
    EXPECT_EQ(p.MovieProfileTable[0].Name, "標準");
    EXPECT_EQ(p.MovieProfileTable[0].Commands,
              (std::vector<std::string>{"\"a\" -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"", "\"b\""}));
    std::filesystem::remove(path);
}

TEST(TranscodingProfiles, FoundByNameOrPosition) {
    MovieProfiles p;
    p.MovieProfileTable = {{"標準 (720p)", {"x"}}, {"12", {"y"}}};
    EXPECT_EQ(FindProfile(p, "標準 (720p)"), 0);
    EXPECT_EQ(FindProfile(p, "1"), 1);
    EXPECT_EQ(FindProfile(p, "12"), 1); // a name wins over a position
    EXPECT_EQ(FindProfile(p, "2"), std::nullopt);
    EXPECT_EQ(FindProfile(p, "-1"), std::nullopt);
    EXPECT_EQ(FindProfile(p, "標準"), std::nullopt);
}

TEST(TranscodingProfiles, MovieAndSoundFilesPassTheEntryCheck) {
    for (const char* ext : {"mp4", "m4v", "mov", "avi", "wmv", "asf", "mpg", "mpeg", "mkv", "webm", "flv",
                            "3gp", "ts", "m2ts", "wav", "mp3", "m4a", "wma"}) {
        EXPECT_TRUE(IsMediaEntryExtension(ext)) << ext;
    }
    EXPECT_FALSE(IsMediaEntryExtension("txt"));
    EXPECT_FALSE(IsMediaEntryExtension("MP4")); // callers lower-case first

    const std::string dir = testsupport::Utf8(std::filesystem::temp_directory_path() / "quarnel-entries");
    std::filesystem::create_directories(dir);
    for (const char* name : {"a.MP4", "b.wav", "c.pptx"}) {
        std::ofstream(dir + "/" + name) << "x";
    }
    std::ofstream(dir + "/d.txt") << "x";
    EXPECT_EQ(CheckEntries({dir + "/a.MP4", dir + "/b.wav", dir + "/c.pptx"}), std::nullopt);
    EXPECT_EQ(CheckEntries({dir + "/a.MP4", dir + "/d.txt"}),
              std::string(kMsgNotPresentation) + dir + "/d.txt");
    std::filesystem::remove_all(dir);
}
