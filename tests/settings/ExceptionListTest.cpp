#include "settings/ExceptionList.h"

#include "TempFolder.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

using settings::ExceptionList;
using settings::Hive;
using settings::IniFile;
using settings::kConvert;
using settings::kDoNotConvert;
using settings::RegistryStore;

namespace {

const std::vector<std::string> kDefaultNames = {"excel",   "word",    "powerpoint", "photoshop", "msphotoed",
                                                "flash",   "paint",   "wordpad",    "msgraph",   "equation",
                                                "mplayer", "avifile", "midfile"};

std::vector<std::string> Names(const ExceptionList& list) {
    std::vector<std::string> names;
    for (const auto& e : list.entries()) {
        names.push_back(e.name);
    }
    return names;
}

void AddInsertable(RegistryStore& registry, const std::string& name) {
    registry.WriteText(Hive::ClassesRoot, name + "\\Insertable", "", "");
}

} // namespace

TEST(ExceptionList, FirstStartGivesDefaultsInOrderThenInstalledApplications) {
    TempFolder dir;
    RegistryStore registry(dir.file("reg"));
    AddInsertable(registry, "Visio.Drawing.11");
    AddInsertable(registry, "Excel.Sheet.8"); // listed already: keeps its decision
    registry.CreateKey(Hive::ClassesRoot, "NotInsertable.1\\Other");
    registry.CreateKey(Hive::ClassesRoot, "Package\\Insertable"); // no readable default value
    IniFile ini;
    ExceptionList list;
    list.initExceptionList(ini, dir.file("ole.ini"), registry);
    std::vector<std::string> expected = kDefaultNames;
    expected.push_back("visio");
    EXPECT_EQ(Names(list), expected);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(list.entries()[i].decision, kConvert) << i;
    }
    for (std::size_t i = 10; i < list.entries().size(); ++i) {
        EXPECT_EQ(list.entries()[i].decision, kDoNotConvert) << i;
    }
    EXPECT_EQ(ini.IniFilePath, dir.file("ole.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ole.ini"))); // loading never writes
}

TEST(ExceptionList, ReadingStopsAtTheFirstGapAndCapitalsAreStoredLowerCase) {
#ifdef _WIN32
    if (GetACP() != 932)
        GTEST_SKIP() << "Shift-JIS is read as the system's code page, here not Japanese (the test also runs "
                        "on a Japanese system)";
#endif
    TempFolder dir;
    // Shift-JIS bytes of "変換しない", as written by the Windows version.
    const std::string sjisNo = "\x95\xcf\x8a\xb7\x82\xb5\x82\xc8\x82\xa2";
    dir.write("ole.ini",
              "[name]\r\n0=Excel\r\n1=myapp\r\n3=lost\r\n[value]\r\n0=" + sjisNo + "\r\n1=PNG\r\n3=JPEG\r\n");
    RegistryStore registry(dir.file("reg"));
    IniFile ini;
    ExceptionList list;
    list.initExceptionList(ini, dir.file("ole.ini"), registry);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"excel", "myapp"}));
    EXPECT_EQ(list.ObjToImage("EXCEL"), kDoNotConvert);
    EXPECT_EQ(list.ObjToImage("eXcEl"), kDoNotConvert);
    EXPECT_EQ(list.ObjToImage("MyApp"), "PNG");
    EXPECT_EQ(list.ObjToImage("lost"), kConvert);
    EXPECT_EQ(list.ObjToImage("word"), kConvert);
    EXPECT_EQ(list.ObjToImage(""), kConvert);
}

TEST(ExceptionList, MissingDecisionReadsAsDoNotConvertAndFirstAdditionWins) {
    TempFolder dir;
    dir.writeIni("ole.ini", "[name]\n0=alpha\n1=ALPHA\n[value]\n1=変換する\n");
    RegistryStore registry(dir.file("reg"));
    IniFile ini;
    ExceptionList list;
    list.initExceptionList(ini, dir.file("ole.ini"), registry);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.ObjToImage("alpha"), kDoNotConvert);
    list.AddToExceptionList("Beta", "False");
    list.AddToExceptionList("BETA", kConvert);
    list.AddToExceptionList("", kConvert); // an empty name would end the list when read back
    EXPECT_EQ(Names(list), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(list.ObjToImage("beta"), "False");
}

TEST(ExceptionList, SaveWritesAlternatelyAndLeavesLongerListKeys) {
    TempFolder dir;
    dir.writeIni("ole.ini", "[name]\n0=a\n1=b\n2=c\n3=d\n[value]\n0=x\n1=x\n2=x\n3=fourth\n");
    IniFile ini;
    ExceptionList list;
    list.AddToExceptionList("Excel", kDoNotConvert);
    list.AddToExceptionList("word", kConvert);
    list.AddToExceptionList("paint", "GIF");
    list.Save(ini, dir.file("ole.ini"));
    EXPECT_EQ(dir.readIni("ole.ini"),
              "[name]\n0=excel\n1=word\n2=paint\n3=d\n[value]\n0=変換しない\n1=変換する\n2="
              "GIF\n3=fourth\n");
    // A fresh file gets the "name" section first.
    ini.IniFilePath.clear();
    list.Save(ini, dir.file("new.ini"));
    EXPECT_EQ(dir.readIni("new.ini"),
              "[name]\n0=excel\n1=word\n2=paint\n[value]\n0=変換しない\n1=変換する\n2=GIF\n");
}

TEST(ExceptionList, ResetDeletesTheFileAndReturnsToDefaultsPlusInstalled) {
    TempFolder dir;
    dir.writeIni("ole.ini", "[name]\n0=custom\n[value]\n0=JPEG\n");
    RegistryStore registry(dir.file("reg"));
    AddInsertable(registry, "Tool.Object");
    IniFile ini;
    ExceptionList list;
    list.initExceptionList(ini, dir.file("ole.ini"), registry);
    ASSERT_EQ(Names(list), (std::vector<std::string>{"custom", "tool"}));
    list.SetDecision(1, kConvert);
    list.Reset(ini, dir.file("ole.ini"), registry);
    std::vector<std::string> expected = kDefaultNames;
    expected.push_back("tool");
    EXPECT_EQ(Names(list), expected);
    EXPECT_EQ(list.ObjToImage("tool"), kDoNotConvert);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ole.ini")));
    list.Reset(ini, dir.file("ole.ini"), registry); // a missing file is no error
    EXPECT_EQ(Names(list), expected);
}
