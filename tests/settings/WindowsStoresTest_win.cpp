// The stores on Windows are the system's registry and profile functions; what the program relies on
// of them: texts and key names in any script, numbers as decimal text, and an INI file by a
// Japanese path. The machine hive is the test program's scratch key (RegistrySandbox_win.cpp).

#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "platform/WideText.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"
#include "tests/support/RegistrySandbox.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <windows.h>

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

// QUARNEL_REGISTRY_KEY moves the machine hive, where the settings live, into a key of the person's
// own, as a test's programs need; without it the machine hive is the system's again.
TEST(WindowsStores, TheMachineHiveMovesToTheKeyNamed) {
    const std::string machine = testsupport::ScratchMachineKey();
    const std::string standIn = machine.substr(0, machine.rfind('\\')) + "\\別の設定";
    const std::string key = "SOFTWARE\\VODRIK\\quarnel\\param";
    settings::RegistryStore store("");
    SetEnvironmentVariableW(L"QUARNEL_REGISTRY_KEY", platform::Widen(standIn).c_str());
    EXPECT_TRUE(store.WriteText(Hive::LocalMachine, key, "Format", "3"));
    std::string text;
    EXPECT_TRUE(store.ReadValue(Hive::LocalMachine, key, "Format", text));
    EXPECT_EQ(text, "3");
    wchar_t value[8] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, platform::Widen(standIn + "\\" + key).c_str(), L"Format",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, L"3");
    SetEnvironmentVariableW(L"QUARNEL_REGISTRY_KEY", nullptr);
    EXPECT_FALSE(store.ValueExists(Hive::LocalMachine, key, "Format")) << "written to the machine hive";
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
    // Japanese texts survive whatever the system's ANSI code page: a new file is UTF-16.
    EXPECT_NE(ini.WriteIni("value", "1", "変換しない"), 0);
    EXPECT_EQ(ini.ReadIni("value", "1", "none"), "変換しない");
    std::ifstream written(sub / "ole.ini", std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(written), {});
    written.close();
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");

    // A file that is there keeps its encoding, as another version wrote it.
    std::ofstream(sub / "old.ini", std::ios::binary) << "[name]\r\n0=excel\r\n";
    ini.IniFilePath = platform::PathToUtf8(sub / "old.ini");
    EXPECT_NE(ini.WriteIni("value", "0", "PNG"), 0);
    EXPECT_EQ(ini.ReadIni("name", "0", "none"), "excel");
    EXPECT_EQ(ini.ReadIni("value", "0", "none"), "PNG");
    std::ifstream old(sub / "old.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}).rfind("[name]\r\n0=excel\r\n", 0), 0u);
    old.close();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
