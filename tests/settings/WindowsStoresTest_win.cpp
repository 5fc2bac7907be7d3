// The stores on Windows are the system's registry and profile functions; what the program relies on
// of them: texts and key names in any script, numbers as decimal text, and an INI file by a
// Japanese path. The machine hive is the test program's scratch key (RegistrySandbox_win.cpp).

#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <filesystem>
#include <gtest/gtest.h>

using settings::Hive;

TEST(WindowsStores, RegistryKeepsTextsAndNamesInAnyScript) {
    settings::RegistryStore store("");
    const std::string key = "SOFTWARE\\VODRIK\\クオーネル\\param";
    EXPECT_TRUE(store.WriteText(Hive::LocalMachine, key, "保存先", "C:\\資料\\発表 📊"));
    EXPECT_TRUE(store.WriteNumber(Hive::LocalMachine, key, "Ratio", -3));
    std::string text;
    ASSERT_TRUE(store.ReadValue(Hive::LocalMachine, key, "保存先", text));
    EXPECT_EQ(text, "C:\\資料\\発表 📊");
    ASSERT_TRUE(store.ReadValue(Hive::LocalMachine, key, "Ratio", text));
    EXPECT_EQ(text, "-3");
    EXPECT_TRUE(store.ValueExists(Hive::LocalMachine, key, "保存先"));
    EXPECT_EQ(store.DeleteValue(Hive::LocalMachine, key, "保存先"), 0);
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, key, "保存先", text));
    EXPECT_EQ(text, "");
}

TEST(WindowsStores, IniFileByAJapanesePathReadsBackWhatWasWritten) {
    const std::filesystem::path folder =
        platform::CreateWorkFolder(platform::WorkFolderRoot(), "quarnel-ini-");
    ASSERT_FALSE(folder.empty());
    const std::filesystem::path sub = folder / platform::PathFromUtf8("設定");
    std::filesystem::create_directories(sub);
    settings::IniFile ini;
    ini.IniFilePath = platform::PathToUtf8(sub / "ole.ini");
    EXPECT_NE(ini.WriteIni("name", "0", "Excel.Sheet"), 0);
    EXPECT_NE(ini.WriteIni("value", "0", "1"), 0);
    EXPECT_EQ(ini.ReadIni("name", "0", "none"), "Excel.Sheet");
    EXPECT_EQ(ini.ReadIni("value", "0", "none"), "1");
    EXPECT_EQ(ini.ReadIni("name", "1", "none"), "none");
    EXPECT_TRUE(std::filesystem::exists(sub / "ole.ini"));
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
