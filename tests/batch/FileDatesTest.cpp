#include "BatchFixture.h"
#include "batch/modTimeStamp.h"
#include "tests/support/FileStamps.h"

using testsupport::GetDates;
using testsupport::SetDates;

class FileDatesTest : public BatchFixture {};

TEST_F(FileDatesTest, CopiesModificationAndAccessToTheSecond) {
    const std::string src = MakeFile("src.pptx", "a");
    const std::string dst = MakeFile("dst.pptx", "b");
    ASSERT_TRUE(SetDates(src, {{1000000000, 700000000}, {1100000000, 900000000}}));
    batch::CopyFileDates(src, dst);
    const auto dates = GetDates(dst);
    ASSERT_TRUE(dates);
    EXPECT_EQ(dates->accessed.seconds, 1000000000);
    EXPECT_EQ(dates->modified.seconds, 1100000000);
    EXPECT_EQ(dates->modified.nanoseconds, 0); // fractions of seconds become 0
    EXPECT_EQ(Read(dst), "b");
}

TEST_F(FileDatesTest, MissingOrEmptyPathsChangeNothing) {
    const std::string dst = MakeFile("dst.pptx", "b");
    const auto before = GetDates(dst);
    ASSERT_TRUE(before);
    batch::CopyFileDates(dir + "/missing.pptx", dst);
    batch::CopyFileDates(dst, "");
    batch::CopyFileDates(dst, dir + "/nowhere.pptx");
    const auto after = GetDates(dst);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->modified.seconds, before->modified.seconds);
    EXPECT_EQ(after->modified.nanoseconds, before->modified.nanoseconds);
    EXPECT_FALSE(std::filesystem::exists(testsupport::PathOf(dir + "/nowhere.pptx")));
}
