#include "TempFolder.h"
#include "settings/HiveFile.h"
#include "settings/modRegAccess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using settings::Hive;
using settings::RegistryStore;

namespace {

constexpr const char* kKey = "SOFTWARE\\VODRIK\\quarnel\\param";

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    return names;
}

} // namespace

TEST(RegistryStore, WriteCreatesWholePathAndReadsBack) {
    TempFolder dir;
    RegistryStore store(dir.path() + "/not/yet/there");
    EXPECT_TRUE(store.WriteText(Hive::LocalMachine, kKey, "Ratio", "3"));
    std::string text = "unchanged";
    EXPECT_TRUE(store.ReadValue(Hive::LocalMachine, kKey, "Ratio", text));
    EXPECT_EQ(text, "3");
    // Every key on the way exists now; the path compares without regard to case.
    EXPECT_TRUE(store.ReadValue(Hive::LocalMachine, "software\\vodrik\\QUARNEL\\Param", "ratio", text));
    EXPECT_EQ(text, "3");
    EXPECT_EQ(store.EnumSubkeys(Hive::LocalMachine), std::vector<std::string>{"SOFTWARE"});
    // Other hives are untouched.
    EXPECT_FALSE(store.ReadValue(Hive::CurrentUser, kKey, "Ratio", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(store.EnumSubkeys(Hive::CurrentUser).empty());
}

TEST(RegistryStore, MissingValuesAndKeysReadAsNotFoundWithEmptyText) {
    TempFolder dir;
    RegistryStore store(dir.path());
    std::string text = "caller";
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, kKey, "OLE", text));
    EXPECT_EQ(text, "");
    store.CreateKey(Hive::LocalMachine, kKey);
    text = "caller";
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, kKey, "OLE", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(store.ValueExists(Hive::LocalMachine, kKey, "OLE"));
    // CreateKey makes the whole path in one call.
    EXPECT_EQ(store.EnumSubkeys(Hive::LocalMachine), std::vector<std::string>{"SOFTWARE"});
}

TEST(RegistryStore, ReadLimitIs1023BytesPlusTerminator) {
    TempFolder dir;
    RegistryStore store(dir.path());
    const std::string fits(1023, 'a');
    const std::string tooLong(1024, 'b');
    store.WriteText(Hive::LocalMachine, kKey, "fits", fits);
    store.WriteText(Hive::LocalMachine, kKey, "long", tooLong);
    std::string text;
    EXPECT_TRUE(store.ReadValue(Hive::LocalMachine, kKey, "fits", text));
    EXPECT_EQ(text, fits);
    EXPECT_TRUE(store.ValueExists(Hive::LocalMachine, kKey, "fits"));
    text = "caller";
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, kKey, "long", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(store.ValueExists(Hive::LocalMachine, kKey, "long"));
}

TEST(RegistryStore, NumbersReadAsDecimalTextAndOtherTypesLeaveTextAlone) {
    TempFolder dir;
    RegistryStore store(dir.path());
    store.WriteNumber(Hive::CurrentUser, kKey, "one", 1);
    store.WriteNumber(Hive::CurrentUser, kKey, "big", 256);
    store.WriteNumber(Hive::CurrentUser, kKey, "negative", -7);
    store.WriteBinary(Hive::CurrentUser, kKey, "blob", {0x31, 0x00, 0x32});
    std::string text;
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "one", text));
    EXPECT_EQ(text, "1");
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "big", text));
    EXPECT_EQ(text, "256");
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "negative", text));
    EXPECT_EQ(text, "-7");
    text = "caller's text";
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "blob", text));
    EXPECT_EQ(text, "caller's text");
    EXPECT_TRUE(store.ValueExists(Hive::CurrentUser, kKey, "blob"));
    // Overwriting with another type replaces the value.
    store.WriteText(Hive::CurrentUser, kKey, "ONE", "text now");
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "one", text));
    EXPECT_EQ(text, "text now");
}

TEST(RegistryStore, TextIsCutAtFirstZeroAndKeepsUnicode) {
    TempFolder dir;
    RegistryStore store(dir.path());
    store.WriteBinary(Hive::ClassesRoot, "x", "", {'a', 'b', 0, 'c'}, settings::kRegSz);
    std::string text;
    EXPECT_TRUE(store.ReadValue(Hive::ClassesRoot, "x", "", text));
    EXPECT_EQ(text, "ab");
    const std::string awkward = "変換しない\tline\nnext\\end\x01";
    store.WriteText(Hive::ClassesRoot, "x", "名前", awkward);
    EXPECT_TRUE(store.ReadValue(Hive::ClassesRoot, "x", "名前", text));
    EXPECT_EQ(text, awkward);
}

TEST(RegistryStore, DeleteValueReportsStatus) {
    TempFolder dir;
    RegistryStore store(dir.path());
    EXPECT_EQ(store.DeleteValue(Hive::CurrentUser, kKey, "v"), 2); // no key at all
    store.WriteNumber(Hive::CurrentUser, kKey, "v", 0);
    store.WriteNumber(Hive::CurrentUser, kKey, "w", 5);
    EXPECT_EQ(store.DeleteValue(Hive::CurrentUser, kKey, "V"), 0);
    EXPECT_EQ(store.DeleteValue(Hive::CurrentUser, kKey, "v"), 2);
    std::string text;
    EXPECT_FALSE(store.ReadValue(Hive::CurrentUser, kKey, "v", text));
    EXPECT_TRUE(store.ReadValue(Hive::CurrentUser, kKey, "w", text));
    EXPECT_EQ(text, "5");
}

TEST(RegistryStore, EnumSubkeysIsStableAndCutsLongNames) {
    TempFolder dir;
    RegistryStore store(dir.path());
    for (const char* name : {"Zeta", "alpha\\Insertable", "Beta.Document.1", "gamma"}) {
        store.CreateKey(Hive::ClassesRoot, name);
    }
    store.CreateKey(Hive::ClassesRoot, "ALPHA"); // same key, other spelling
    const std::string longName(2100, 'k');
    store.CreateKey(Hive::ClassesRoot, longName);
    const auto names = store.EnumSubkeys(Hive::ClassesRoot);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "alpha");
    EXPECT_EQ(names[1], "Beta.Document.1");
    EXPECT_EQ(names[2], "gamma");
    EXPECT_EQ(names[3], std::string(1999, 'k'));
    EXPECT_EQ(names[4], "Zeta");
    EXPECT_EQ(store.EnumSubkeys(Hive::ClassesRoot), names);
}

TEST(RegistryStore, DamagedHiveIsSetAsideReportedOnceAndStoreGoesOn) {
    TempFolder dir;
    dir.write("HKEY_LOCAL_MACHINE.reg", "quarnel-hive\t1\nkey\tA\ngarbage line\nend\n");
    RegistryStore store(dir.path());
    testing::internal::CaptureStderr();
    std::string text = "caller";
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, "A", "v", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(store.ReadValue(Hive::LocalMachine, "A", "v", text));
    store.WriteText(Hive::LocalMachine, "A", "v", "new");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE.reg"), std::string::npos);
    EXPECT_EQ(err.find("HKEY_LOCAL_MACHINE.reg"), err.rfind("HKEY_LOCAL_MACHINE.reg -> "));
    std::size_t lines = 0;
    for (const char c : err) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 1u);
    EXPECT_TRUE(store.ReadValue(Hive::LocalMachine, "A", "v", text));
    EXPECT_EQ(text, "new");
    int aside = 0;
    for (const auto& name : FolderEntries(dir.path())) {
        if (name.rfind("HKEY_LOCAL_MACHINE.reg.damaged-", 0) == 0) {
            ++aside;
            EXPECT_EQ(dir.read(name), "quarnel-hive\t1\nkey\tA\ngarbage line\nend\n");
        }
    }
    EXPECT_EQ(aside, 1);
}

TEST(RegistryStore, NewerFormatIsNeitherReadNorOverwritten) {
    TempFolder dir;
    const std::string newer = "quarnel-hive\t99\nsomething we cannot know\n";
    dir.write("HKEY_CURRENT_USER.reg", newer);
    RegistryStore store(dir.path());
    testing::internal::CaptureStderr();
    store.WriteText(Hive::CurrentUser, "A", "v", "x");
    std::string text;
    EXPECT_FALSE(store.ReadValue(Hive::CurrentUser, "A", "v", text));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(dir.read("HKEY_CURRENT_USER.reg"), newer);
}

TEST(RegistryStore, UnreadableHiveIsLeftAloneAndWritesStillReportTrue) {
    TempFolder dir;
    std::filesystem::create_directory(dir.file("HKEY_CURRENT_USER.reg"));
    RegistryStore store(dir.path());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(store.WriteText(Hive::CurrentUser, "A", "v", "x"));
    EXPECT_TRUE(store.WriteNumber(Hive::CurrentUser, "A", "n", 1));
    std::string text = "caller";
    EXPECT_FALSE(store.ReadValue(Hive::CurrentUser, "A", "v", text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(store.DeleteValue(Hive::CurrentUser, "A", "v"), 2);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("HKEY_CURRENT_USER.reg")));
    // An unknown hive handle reaches no file at all.
    EXPECT_TRUE(store.WriteText(static_cast<Hive>(0x80000005u), "A", "v", "x"));
    EXPECT_FALSE(store.ReadValue(static_cast<Hive>(0x80000005u), "A", "v", text));
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "the writers are forked processes";
#else
    TempFolder dir;
    constexpr int kWrites = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            RegistryStore store(dir.path());
            for (int i = 0; i < kWrites; ++i) {
                store.WriteText(Hive::LocalMachine, kKey, "p" + std::to_string(c) + "_" + std::to_string(i),
                                std::to_string(i * 10 + c));
            }
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryStore store(dir.path());
    int found = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kWrites; ++i) {
            std::string text;
            if (store.ReadValue(Hive::LocalMachine, kKey, "p" + std::to_string(c) + "_" + std::to_string(i),
                                text) &&
                text == std::to_string(i * 10 + c)) {
                ++found;
            }
        }
    }
    EXPECT_EQ(found, 2 * kWrites);
    // No temporary files are left behind.
    for (const auto& name : FolderEntries(dir.path())) {
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    }
#endif
}

TEST(HiveFile, SerializedHiveParsesBackTheSame) {
    settings::HiveData hive;
    settings::HiveData::SetValue(hive.EnsureKey("A\\B"), "name\twith tab", settings::kRegSz,
                                 std::string("x\0y\\\r\n", 6));
    settings::HiveData::SetValue(hive.EnsureKey("a\\C"), "", 7, "\xff\x80");
    const std::string text = hive.Serialize();
    settings::HiveData again;
    ASSERT_EQ(again.Parse(text), settings::HiveParseResult::Ok);
    EXPECT_EQ(again.Serialize(), text);
    EXPECT_EQ(again.Subkeys("A"), (std::vector<std::string>{"B", "C"}));
    const auto* value = settings::HiveData::FindValue(*again.FindKey("a\\b"), "NAME\tWITH TAB");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->data, std::string("x\0y\\\r\n", 6));
}

TEST(HiveFile, CutOrMalformedFilesAreDamaged) {
    settings::HiveData hive;
    settings::HiveData::SetValue(hive.EnsureKey("K"), "v", settings::kRegDword, "\x01\x00\x00\x00");
    const std::string good = hive.Serialize();
    settings::HiveData parsed;
    EXPECT_EQ(parsed.Parse(good.substr(0, good.size() - 4)), settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse(""), settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse("quarnel-hive\t1\nvalue\tv\t1\tx\nend\n"), settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse("quarnel-hive\t1\nkey\tK\nvalue\tv\t1\tbad\\q\nend\n"),
              settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse("quarnel-hive\t1\nkey\tK\nvalue\tv\t99999999999\tx\nend\n"),
              settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse("quarnel-hive\t1\nend\nkey\tK\n"), settings::HiveParseResult::Damaged);
    EXPECT_EQ(parsed.Parse(good), settings::HiveParseResult::Ok);
    EXPECT_EQ(parsed.KeyCount(), 2u); // the hive itself and K
}
