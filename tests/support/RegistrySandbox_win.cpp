// Windows test programs: the machine hive, where the settings live, and the classes hive, where the
// installed applications are found, are keys of this process's own, made afresh for each test and
// removed after it. Settings a test writes reach neither the system's registry nor another test,
// and the applications the machine has installed do not reach a test (on POSIX each test names a
// registry folder of its own); its registered fonts do, as the system's files do. Programs a test
// starts read the real hives unless given the scratch machine key (RegistrySandbox.h).

#include "tests/support/RegistrySandbox.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

std::string ScratchRoot() {
    return "Software\\QuarnelTests\\" + std::to_string(GetCurrentProcessId());
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

class RegistrySandbox : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        root_ = Wide(ScratchRoot());
        CopyFromMachine(kFonts, L"\\machine\\");
        Override(HKEY_LOCAL_MACHINE, L"\\machine");
        Override(HKEY_CLASSES_ROOT, L"\\classes");
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
    }

private:
    static constexpr const wchar_t* kFonts = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

    void CopyFromMachine(const wchar_t* key, const wchar_t* scratch) const {
        HKEY from = nullptr, to = nullptr;
        const std::wstring path = root_ + scratch + key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &from) == ERROR_SUCCESS &&
            RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &to, nullptr) == ERROR_SUCCESS)
            RegCopyTreeW(from, nullptr, to);
        if (from)
            RegCloseKey(from);
        if (to)
            RegCloseKey(to);
    }
    // Not volatile: the program's keys below it are not, and a volatile key takes no others.
    void Override(HKEY hive, const wchar_t* leaf) const {
        HKEY key = nullptr;
        const std::wstring path = root_ + leaf;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(hive, key) != ERROR_SUCCESS) {
            ADD_FAILURE() << "no scratch registry key";
        }
        if (key)
            RegCloseKey(key);
    }

    std::wstring root_;
};

[[maybe_unused]] const bool kSandbox = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RegistrySandbox);
    return true;
}();

} // namespace

std::string testsupport::ScratchMachineKey() {
    return ScratchRoot() + "\\machine";
}
