#include "BatchFixture.h"
#include "batch/modTimeStamp.h"

#include <fcntl.h>
#include <sys/stat.h>

class FileDatesTest : public BatchFixture {};

TEST_F(FileDatesTest, CopiesModificationAndAccessToTheSecond) {
    const std::string src = MakeFile("src.pptx", "a");
    const std::string dst = MakeFile("dst.pptx", "b");
    struct timespec times[2] = {{1000000000, 700000000}, {1100000000, 900000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);
    batch::CopyFileDates(src, dst);
    struct stat st {};
    ASSERT_EQ(stat(dst.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 0); // fractions of seconds become 0
    EXPECT_EQ(Read(dst), "b");
}

TEST_F(FileDatesTest, MissingOrEmptyPathsChangeNothing) {
    const std::string dst = MakeFile("dst.pptx", "b");
    struct stat before {};
    ASSERT_EQ(stat(dst.c_str(), &before), 0);
    batch::CopyFileDates(dir + "/missing.pptx", dst);
    batch::CopyFileDates(dst, "");
    batch::CopyFileDates(dst, dir + "/nowhere.pptx");
    struct stat after {};
    ASSERT_EQ(stat(dst.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere.pptx"));
}
