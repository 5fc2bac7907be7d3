// Windows test programs: the machine hive, where the settings live, and the classes hive, where the
// installed applications are found, are keys of this process's own, made afresh for each test and
// removed after it. Settings a test writes reach neither the system's registry nor another test,
// and what the machine has installed does not reach a test (on POSIX each test names a registry
// folder of its own). Programs a test starts read the real hives; they never write settings.

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

class RegistrySandbox : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        root_ = L"Software\\QuarnelTests\\" + std::to_wstring(GetCurrentProcessId());
        Override(HKEY_LOCAL_MACHINE, L"\\machine");
        Override(HKEY_CLASSES_ROOT, L"\\classes");
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
    }

private:
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
