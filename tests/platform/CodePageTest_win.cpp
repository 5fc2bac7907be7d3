// Shift-JIS on Windows comes from code page 932, not from Qt: the same texts as on Linux must
// convert, detect and cut the same way.

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using platform::TextEncoding;

TEST(CodePage, ShiftJisRoundTripAndDetection) {
    const std::string sjis = "\x95\xcf\x8a\xb7\x82\xb5\x82\xc8\x82\xa2\xd2\xc0"; // 変換しないﾒﾀ
    EXPECT_EQ(platform::ShiftJisToUtf8(sjis), "変換しないﾒﾀ");
    EXPECT_EQ(platform::Utf8ToShiftJis("変換しないﾒﾀ"), sjis);
    EXPECT_EQ(platform::ToUtf8(sjis, TextEncoding::ShiftJis), "変換しないﾒﾀ");
    EXPECT_EQ(platform::FromUtf8("変換しないﾒﾀ", TextEncoding::Utf8), "変換しないﾒﾀ");
    EXPECT_EQ(platform::Utf8ToShiftJis("a€b"), "a?b") << "a character Shift-JIS cannot hold";
    EXPECT_EQ(platform::Utf8ToShiftJis(""), "");
    EXPECT_EQ(platform::DetectEncoding(sjis), TextEncoding::ShiftJis);
    EXPECT_EQ(platform::DetectEncoding("変換しない"), TextEncoding::Utf8);
    EXPECT_EQ(platform::DetectEncoding("plain ascii"), TextEncoding::Utf8);
    EXPECT_FALSE(platform::IsValidUtf8("\xc0\xaf"));         // overlong "/"
    EXPECT_FALSE(platform::IsValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(platform::IsValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(platform::IsValidUtf8("\xe5\xa4"));         // cut short
    EXPECT_TRUE(platform::IsValidUtf8("\xf0\x9f\x98\x80"));
}

TEST(CodePage, CutNeverSplitsACharacter) {
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 4, TextEncoding::Utf8), "ab");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 5, TextEncoding::Utf8), "ab変");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 3, TextEncoding::ShiftJis), "ab");
    EXPECT_EQ(platform::CutToEncodedBytes("ab変c", 4, TextEncoding::ShiftJis), "ab変");
    EXPECT_EQ(platform::CutToEncodedBytes("ﾒﾀﾒ", 2, TextEncoding::ShiftJis),
              "ﾒﾀ"); // half-width: one byte each
}
