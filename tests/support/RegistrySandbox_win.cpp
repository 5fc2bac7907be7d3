// Windows test programs: the machine hive, where the settings live, is a key of this process's own,
// removed at the end, so that settings a test writes reach neither the system's registry nor
// another test program (on POSIX each test names a registry folder of its own). Programs a test
// starts read the real hive; they never write settings.

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

class RegistrySandbox : public ::testing::Environment {
public:
    void SetUp() override {
        root_ = L"Software\\QuarnelTests\\" + std::to_wstring(GetCurrentProcessId());
        HKEY machine = Create(L"\\machine");
        ASSERT_TRUE(machine) << "no scratch registry key";
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine), ERROR_SUCCESS);
        RegCloseKey(machine);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
    }

private:
    // Not volatile: the program's keys below it are not, and a volatile key takes no others.
    HKEY Create(const wchar_t* leaf) const {
        HKEY key = nullptr;
        const std::wstring path = root_ + leaf;
        return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS
                   ? key
                   : nullptr;
    }

    std::wstring root_;
};

[[maybe_unused]] const ::testing::Environment* const kSandbox =
    ::testing::AddGlobalTestEnvironment(new RegistrySandbox);

} // namespace
