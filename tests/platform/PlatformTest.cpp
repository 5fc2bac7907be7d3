#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

using platform::gFSO;

namespace {

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quarnel-platform-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

} // namespace

TEST(CodePage, ShiftJisRoundTripAndDetection) {
    const std::string sjis = "\x95\xcf\x8a\xb7\x82\xb5\x82\xc8\x82\xa2\xd2\xc0"; // 変換しないﾒﾀ
    EXPECT_EQ(platform::ShiftJisToUtf8(sjis), "変換しないﾒﾀ");
    EXPECT_EQ(platform::Utf8ToShiftJis("変換しないﾒﾀ"), sjis);
    EXPECT_EQ(platform::DetectEncoding(sjis), platform::TextEncoding::ShiftJis);
    EXPECT_EQ(platform::DetectEncoding("変換しない"), platform::TextEncoding::Utf8);
    EXPECT_EQ(platform::DetectEncoding("plain ascii"), platform::TextEncoding::Utf8);
    EXPECT_FALSE(platform::IsValidUtf8("\xc0\xaf"));         // overlong "/"
    EXPECT_FALSE(platform::IsValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(platform::IsValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(platform::IsValidUtf8("\xe5\xa4"));         // cut short
    EXPECT_TRUE(platform::IsValidUtf8("\xf0\x9f\x98\x80"));
}

TEST(CodePage, CutNeverSplitsACharacter) {
    using platform::TextEncoding;
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 4, TextEncoding::Utf8), "ab");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 5, TextEncoding::Utf8), "ab変");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 3, TextEncoding::ShiftJis), "ab");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 4, TextEncoding::ShiftJis), "ab変");
    EXPECT_EQ(platform::CutToEncodedBytes("ﾒﾀﾒ", 2, TextEncoding::ShiftJis),
              "ﾒﾀ"); // half-width: one byte each
}

TEST(FileSystem, NamePartsFollowTheFileObjectRules) {
    EXPECT_EQ(gFSO.GetExtensionName("/a/b.c/deck.PPTX"), "PPTX");
    EXPECT_EQ(gFSO.GetExtensionName("/a/b.c/noext"), "");
    EXPECT_EQ(gFSO.GetBaseName("/a/b.c/deck.final.pptx"), "deck.final");
    EXPECT_EQ(gFSO.GetBaseName("/usr/bin/ffmpeg"), "ffmpeg");
    EXPECT_EQ(gFSO.GetParentFolderName("/a/b/c.pptx"), "/a/b");
    EXPECT_EQ(gFSO.GetParentFolderName("/a/b/"), "/a");
    EXPECT_EQ(gFSO.GetParentFolderName("/a"), "/");
    EXPECT_EQ(gFSO.GetParentFolderName("/"), "");
    EXPECT_EQ(gFSO.GetParentFolderName("relative"), "");
    const std::string temp = gFSO.GetTempName();
    EXPECT_EQ(temp.size(), 12u);
    EXPECT_EQ(temp.substr(0, 3), "rad");
    EXPECT_EQ(temp.substr(8), ".tmp");
    EXPECT_TRUE(gFSO.FolderExists(gFSO.GetTempFolder()));
}

TEST(FileSystem, FilesFoldersSizesAndDates) {
    Scratch dir;
    const std::string file = dir.path() + "/資料 1.pptx";
    WriteFile(file, "12345");
    ASSERT_TRUE(gFSO.CreateFolder(dir.path() + "/sub"));
    EXPECT_FALSE(gFSO.CreateFolder(dir.path() + "/sub"));
    EXPECT_FALSE(gFSO.CreateFolder(dir.path() + "/x/y")); // one level only
    EXPECT_TRUE(gFSO.FileExists(file));
    EXPECT_FALSE(gFSO.FileExists(dir.path() + "/sub"));
    EXPECT_TRUE(gFSO.FolderExists(dir.path() + "/sub"));
    EXPECT_FALSE(gFSO.FolderExists(file));
    EXPECT_EQ(gFSO.FileSize(file), 5u);
    EXPECT_THROW(gFSO.FileSize(dir.path() + "/missing"), std::runtime_error);
    EXPECT_THROW(gFSO.GetFileDates(dir.path() + "/missing"), std::runtime_error);
    EXPECT_EQ(gFSO.FolderFiles(dir.path()), std::vector<std::string>{file});

    struct timespec times[2] = {{1000000000, 0}, {1200000000, 999999999}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const auto dates = gFSO.GetFileDates(file);
    EXPECT_EQ(dates.accessed.time_since_epoch(), std::chrono::seconds(1000000000));
    EXPECT_EQ(dates.modified.time_since_epoch(), std::chrono::seconds(1200000000));
    EXPECT_GT(dates.created.time_since_epoch().count(), 0);

    EXPECT_TRUE(gFSO.DeleteFile(file));
    EXPECT_FALSE(gFSO.DeleteFile(file));
    EXPECT_FALSE(gFSO.DeleteFile(dir.path() + "/sub")); // never a folder
}

TEST(Paths, OleIniBesideProgramOrInConfigurationFolder) {
    Scratch dir;
    const std::string program = dir.path() + "/bin";
    const std::string config = dir.path() + "/config/vodrik";
    std::filesystem::create_directories(program);
    EXPECT_EQ(platform::OleIniPath(program, config), program + "/ole.ini");
    if (::geteuid() != 0) { // root can write anywhere
        std::filesystem::permissions(program,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_EQ(platform::OleIniPath(program, config), config + "/ole.ini");
        EXPECT_TRUE(gFSO.FolderExists(config));
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    }
    // A program folder that cannot take a file (here: one that does not exist) sends it to the configuration.
    const std::string otherConfig = dir.path() + "/other/vodrik";
    EXPECT_EQ(platform::OleIniPath(dir.path() + "/missing-bin", otherConfig), otherConfig + "/ole.ini");
    EXPECT_TRUE(gFSO.FolderExists(otherConfig));
    EXPECT_EQ(platform::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a", "b"), "/a/b");
    EXPECT_FALSE(gFSO.ProgramFolder().empty());
    EXPECT_TRUE(gFSO.FolderExists(gFSO.ProgramFolder()));
}

TEST(Paths, ConfigurationFolderFollowsXdg) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/some/where", 1);
    EXPECT_EQ(platform::ConfigFolder(), "/some/where/vodrik");
    ::setenv("XDG_CONFIG_HOME", "relative/not/allowed", 1);
    EXPECT_NE(platform::ConfigFolder(), "relative/not/allowed/vodrik");
    if (old) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_FALSE(platform::DesktopFolder().empty());
}

TEST(AtomicFile, ReplacesWholeFileAndKeepsPermissions) {
    Scratch dir;
    const std::string path = dir.path() + "/out.bin";
    EXPECT_EQ(platform::ReadWholeFile(path).status, platform::ReadStatus::Missing);
    const std::string big(200000, 'z');
    ASSERT_TRUE(platform::WriteFileAtomically(path, big));
    ::chmod(path.c_str(), 0600);
    ASSERT_TRUE(platform::WriteFileAtomically(path, std::string("a\0b", 3)));
    const auto read = platform::ReadWholeFile(path);
    EXPECT_EQ(read.status, platform::ReadStatus::Ok);
    EXPECT_EQ(read.bytes, std::string("a\0b", 3));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(platform::WriteFileAtomically(dir.path() + "/no/such/folder/file", "x"));
    EXPECT_EQ(platform::ReadWholeFile(dir.path()).status, platform::ReadStatus::Failed);
}
