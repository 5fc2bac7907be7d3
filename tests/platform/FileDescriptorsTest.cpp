// Reads and writes by descriptor on both systems, with a file name outside ASCII, as the archive
// writer and reader use them.

#include "platform/FileDescriptors.h"

#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path;
    Folder() {
        path =
            fs::temp_directory_path() / platform::PathFromUtf8("quarnel-descriptors-資料-" +
                                                               std::to_string(platform::CurrentProcessId()));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const {
        return platform::PathToUtf8(path / platform::PathFromUtf8(name));
    }
};

std::string ReadText(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(FileDescriptors, AStagingFileIsWrittenOutOfOrderAndTakesTheTargetsPlace) {
    Folder dir;
    const std::string target = dir / "発表.pptx";
    std::ofstream(platform::PathFromUtf8(target), std::ios::binary) << "old";
    std::string staging;
    const int fd = platform::CreateStagingFile(target, platform::kStagingSave, staging);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(platform::WriteAt(fd, 0, "xxxxxxxx", 8));
    ASSERT_TRUE(platform::TruncateFile(fd, 0));
    // A header filled in once the sizes are known, after the data behind it.
    ASSERT_TRUE(platform::WriteAt(fd, 4, "DATA", 4));
    ASSERT_TRUE(platform::WriteAt(fd, 0, "HEAD", 4));
    platform::OpenFileState state;
    ASSERT_TRUE(platform::DescribeOpenFile(fd, state));
    EXPECT_EQ(state.kind, platform::FileKind::Regular);
    EXPECT_EQ(state.size, 8u);
    EXPECT_TRUE(platform::GiveNewFileAccess(fd));
    EXPECT_TRUE(platform::FlushToDisk(fd));
    ASSERT_TRUE(platform::CloseFile(fd));
    ASSERT_TRUE(platform::RenameReplacing(staging, target));
    EXPECT_EQ(ReadText(target), "HEADDATA");
    EXPECT_FALSE(fs::exists(platform::PathFromUtf8(staging)));
    EXPECT_TRUE(platform::RemoveFile(target));
    EXPECT_FALSE(platform::RemoveFile(target));
    EXPECT_FALSE(fs::exists(platform::PathFromUtf8(target)));
}

TEST(FileDescriptors, AFileIsReadAtOffsetsAndSeenToChange) {
    Folder dir;
    const std::string path = dir / "資料.zip";
    std::ofstream(platform::PathFromUtf8(path), std::ios::binary) << "0123456789";
    const int fd = platform::OpenForReading(path);
    ASSERT_GE(fd, 0);
    char buffer[8] = {};
    EXPECT_EQ(platform::ReadAt(fd, 6, buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(platform::ReadAt(fd, 20, buffer, 8), 0);
    platform::OpenFileState opened;
    ASSERT_TRUE(platform::DescribeOpenFile(fd, opened));
    EXPECT_EQ(opened.size, 10u);

    // A second descriptor reads as a stream of its own.
    const int copy = platform::DuplicateForReading(fd);
    ASSERT_GE(copy, 0);
    std::FILE* stream = fdopen(copy, "rb");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(std::fseek(stream, 2, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(stream), '2');
    std::fclose(stream);

    std::ofstream(platform::PathFromUtf8(path), std::ios::binary | std::ios::app) << "more";
    platform::OpenFileState now;
    ASSERT_TRUE(platform::DescribeOpenFile(fd, now));
    EXPECT_EQ(now.size, 14u);
    EXPECT_NE(now, opened);
    EXPECT_EQ(platform::ReadAt(fd, 0, buffer, 3), 3);
    EXPECT_TRUE(platform::CloseFile(fd));
}

TEST(FileDescriptors, MissingFilesAndFoldersAreToldApart) {
    Folder dir;
    errno = 0;
    EXPECT_LT(platform::OpenForReading(dir / "無い.pptx"), 0);
    EXPECT_EQ(errno, ENOENT);
    // A folder either fails to open as one, or opens and says what it is.
    errno = 0;
    const int fd = platform::OpenForReading(platform::PathToUtf8(dir.path));
    if (fd < 0) {
        EXPECT_EQ(errno, EISDIR);
    } else {
        platform::OpenFileState state;
        ASSERT_TRUE(platform::DescribeOpenFile(fd, state));
        EXPECT_EQ(state.kind, platform::FileKind::Folder);
        platform::CloseFile(fd);
    }
    EXPECT_FALSE(platform::RenameReplacing(dir / "無い", dir / "別"));
}
