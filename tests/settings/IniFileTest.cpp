#include "TempFolder.h"
#include "platform/CodePage.h"
#include "settings/IniDocument.h"
#include "settings/basIniFile.h"

#include <filesystem>
#include <gtest/gtest.h>

using settings::IniFile;

TEST(IniFile, MissingFileSectionKeyOrEmptyValueGiveTheDefault) {
    TempFolder dir;
    IniFile ini;
    ini.IniFilePath = dir.file("ole.ini");
    EXPECT_EQ(ini.ReadIni("name", "0", "dflt"), "dflt");
    EXPECT_NE(ini.WriteIni("name", "0", ""), 0);
    EXPECT_EQ(ini.ReadIni("name", "0", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadIni("other", "0", "dflt"), "dflt");
    EXPECT_NE(ini.WriteIni("name", "0", "excel"), 0);
    EXPECT_EQ(ini.ReadIni("NAME", " 0 ", "dflt"), "excel");
    EXPECT_EQ(ini.ReadIni("name", "1", ""), "");
    ini.IniFilePath.clear();
    EXPECT_EQ(ini.ReadIni("name", "0", "none"), "none");
    EXPECT_EQ(ini.WriteIni("name", "0", "x"), 0);
}

TEST(IniFile, WriteKeepsEverythingElseAndAddsSections) {
    TempFolder dir;
    dir.write("a.ini", "; comment\r\n[name]\r\n0=excel\r\n1=word\r\n\r\n[keep]\r\nodd line\r\nk=v\r\n");
    IniFile ini;
    ini.IniFilePath = dir.file("a.ini");
    ASSERT_NE(ini.WriteIni("name", "1", "paint"), 0);
    ASSERT_NE(ini.WriteIni("name", "2", "flash"), 0);
    ASSERT_NE(ini.WriteIni("value", "0", "変換しない"), 0);
    EXPECT_EQ(dir.read("a.ini"), "; comment\r\n[name]\r\n0=excel\r\n1=paint\r\n2=flash\r\n\r\n[keep]\r\nodd "
                                 "line\r\nk=v\r\n[value]\r\n0=変換しない\r\n");
    EXPECT_EQ(ini.ReadIni("keep", "k", ""), "v");
    EXPECT_EQ(ini.ReadIni("value", "0", ""), "変換しない");
}

TEST(IniFile, ShiftJisFileIsReadAndRewrittenAsUtf8) {
    TempFolder dir;
    // "変換しない" and half-width "ﾒﾀ" in Shift-JIS bytes, as the Windows version writes them.
    const std::string sjisValue = "\x95\xcf\x8a\xb7\x82\xb5\x82\xc8\x82\xa2";
    dir.write("ole.ini", "[name]\r\n0=excel\r\n[value]\r\n0=" + sjisValue + "\r\n1=\xd2\xc0\r\n");
    IniFile ini;
    ini.IniFilePath = dir.file("ole.ini");
    EXPECT_EQ(ini.ReadIni("value", "0", ""), "変換しない");
    EXPECT_EQ(ini.ReadIni("value", "1", ""), "ﾒﾀ");
    ASSERT_NE(ini.WriteIni("name", "1", "word"), 0);
    const std::string after = dir.read("ole.ini");
    EXPECT_TRUE(platform::IsValidUtf8(after));
    EXPECT_EQ(ini.ReadIni("value", "0", ""), "変換しない");
    EXPECT_EQ(ini.ReadIni("value", "1", ""), "ﾒﾀ");
    EXPECT_EQ(ini.ReadIni("name", "1", ""), "word");
}

TEST(IniFile, LongValuesAreCutTo1023BytesOnACharacterBoundary) {
    TempFolder dir;
    IniFile ini;
    ini.IniFilePath = dir.file("long.ini");
    ini.WriteIni("s", "exact", std::string(1023, 'x'));
    ini.WriteIni("s", "over", std::string(1500, 'y'));
    // "a" and 340 three-byte characters take 1021 bytes; the next character would end at byte 1024.
    std::string wide = "a";
    for (int i = 0; i < 400; ++i) {
        wide += "変";
    }
    ini.WriteIni("s", "wide", wide);
    EXPECT_EQ(ini.ReadIni("s", "exact", ""), std::string(1023, 'x'));
    EXPECT_EQ(ini.ReadIni("s", "over", ""), std::string(1023, 'y'));
    EXPECT_EQ(ini.ReadIni("s", "wide", ""), wide.substr(0, 1 + 340 * 3));

    // In a Shift-JIS file the limit counts Shift-JIS bytes: 511 two-byte characters plus one would be 1024.
    std::string sjis = "[s]\nk=";
    for (int i = 0; i < 600; ++i) {
        sjis += "\x95\xcf";
    }
    dir.write("sjis.ini", sjis + "\n");
    ini.IniFilePath = dir.file("sjis.ini");
    std::string expected;
    for (int i = 0; i < 511; ++i) {
        expected += "変";
    }
    EXPECT_EQ(ini.ReadIni("s", "k", ""), expected);
}

TEST(IniDocument, QuotesAndDuplicatesFollowProfileRules) {
    settings::IniDocument doc;
    doc.Parse("[a]\nk = \"quoted value\" \nk=second\n[A]\nj=other\nnoequals\n[b]\n");
    EXPECT_EQ(doc.Find("a", "k"), "quoted value");
    EXPECT_EQ(doc.Find("a", "j"), std::nullopt); // only the first section of a name counts
    EXPECT_EQ(doc.Find("b", "k"), std::nullopt);
    doc.Set("b", "multi", "line\nbreak");
    EXPECT_EQ(doc.Find("b", "multi"), "line break");
    EXPECT_EQ(doc.Serialize(),
              "[a]\nk = \"quoted value\" \nk=second\n[A]\nj=other\nnoequals\n[b]\nmulti=line break\n");
}

TEST(IniFile, UnreadableFileIsNeverReplaced) {
    TempFolder dir;
    std::filesystem::create_directory(dir.file("taken.ini")); // a folder where the file should be
    IniFile ini;
    ini.IniFilePath = dir.file("taken.ini");
    EXPECT_EQ(ini.ReadIni("name", "0", "dflt"), "dflt");
    EXPECT_EQ(ini.WriteIni("name", "0", "excel"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.ini")));
    ini.IniFilePath = dir.file("no/such/folder/ole.ini");
    EXPECT_EQ(ini.WriteIni("name", "0", "excel"), 0);
}
