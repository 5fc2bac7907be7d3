// The registry store on Windows: the same operations over advapi32's wide-character functions, so
// that key names and texts in any script survive (the narrow ones pass through the ANSI code page).

#include "platform/WideText.h"
#include "settings/modRegAccess.h"

#include <cstring>
#include <string>
#include <windows.h>

namespace settings {

namespace {

constexpr REGSAM kReadAccess = 0x20001;   // READ_CONTROL | KEY_QUERY_VALUE
constexpr REGSAM kCreateAccess = 0x2003F; // READ_CONTROL | the six specific key rights

std::wstring W(const std::string& utf8) {
    return platform::Widen(utf8);
}

// Texts come back in UTF-16: room for as many characters as the narrow calls had bytes.
constexpr DWORD kReadBytes = kRegReadLimit * sizeof(wchar_t);

// The key a hive's paths start from. The machine hive, where the settings live, may be a key of the
// person's own hive instead: QUARNEL_REGISTRY_KEY names it below HKEY_CURRENT_USER, as
// QUARNEL_REGISTRY_DIR names the hive files on POSIX, so that a trial run or a test's program never
// reads or writes the machine's settings. Should that key not open, nothing is read or written.
class Root {
public:
    explicit Root(Hive hive)
        : key_(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<std::uint32_t>(hive)))) {
        if (hive != Hive::LocalMachine)
            return;
        const DWORD size = GetEnvironmentVariableW(L"QUARNEL_REGISTRY_KEY", nullptr, 0);
        if (size <= 1)
            return;
        std::wstring standIn(size, L'\0');
        standIn.resize(GetEnvironmentVariableW(L"QUARNEL_REGISTRY_KEY", standIn.data(), size));
        key_ = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, standIn.c_str(), 0, nullptr, 0, KEY_READ | KEY_CREATE_SUB_KEY,
                            nullptr, &key_, nullptr) == ERROR_SUCCESS)
            owned_ = true;
        else
            key_ = nullptr;
    }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;
    ~Root() {
        if (owned_)
            RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_;
    bool owned_ = false;
};

// Opens for setting values, creating the key first when it is missing.
HKEY OpenForWriting(RegistryStore& store, Hive hive, const std::string& keyPath) {
    HKEY key = nullptr;
    const std::wstring path = W(keyPath);
    if (RegOpenKeyExW(Root(hive).get(), path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        return key;
    }
    store.CreateKey(hive, keyPath);
    if (RegOpenKeyExW(Root(hive).get(), path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        return key;
    }
    return nullptr;
}

void SetValue(RegistryStore& store, Hive hive, const std::string& keyPath, const std::string& valueName,
              DWORD type, const BYTE* data, DWORD size) {
    HKEY key = OpenForWriting(store, hive, keyPath);
    if (key == nullptr) {
        return;
    }
    RegSetValueExW(key, W(valueName).c_str(), 0, type, data, size);
    RegCloseKey(key);
}

} // namespace

RegistryStore::RegistryStore(std::string folder) : folder_(std::move(folder)) {}

std::string RegistryStore::DefaultFolder() {
    return std::string();
}

void RegistryStore::CreateKey(Hive hive, const std::string& keyPath) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(Root(hive).get(), W(keyPath).c_str(), 0, nullptr, 0, kCreateAccess, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

long RegistryStore::DeleteValue(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(Root(hive).get(), W(keyPath).c_str(), 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, W(valueName).c_str());
        RegCloseKey(key);
    }
    return status;
}

bool RegistryStore::WriteText(Hive hive, const std::string& keyPath, const std::string& valueName,
                              const std::string& value) {
    const std::wstring wide = W(value);
    SetValue(*this, hive, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
             static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    return true;
}

bool RegistryStore::WriteNumber(Hive hive, const std::string& keyPath, const std::string& valueName,
                                std::int32_t value) {
    const DWORD number = static_cast<DWORD>(value);
    SetValue(*this, hive, keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
             sizeof number);
    return true;
}

void RegistryStore::WriteBinary(Hive hive, const std::string& keyPath, const std::string& valueName,
                                const std::vector<std::uint8_t>& data, std::uint32_t type) {
    SetValue(*this, hive, keyPath, valueName, type, data.data(), static_cast<DWORD>(data.size()));
}

bool RegistryStore::ReadValue(Hive hive, const std::string& keyPath, const std::string& valueName,
                              std::string& text) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root(hive).get(), W(keyPath).c_str(), 0, kReadAccess, &key) != ERROR_SUCCESS) {
        text.clear();
        return false;
    }
    BYTE buffer[kReadBytes];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, W(valueName).c_str(), nullptr, &type, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        text.clear();
        return false;
    }
    if (type == REG_SZ) {
        std::wstring wide(size / sizeof(wchar_t), L'\0');
        std::memcpy(wide.data(), buffer, wide.size() * sizeof(wchar_t));
        wide.resize(wide.find(L'\0') == std::wstring::npos ? wide.size() : wide.find(L'\0'));
        text = platform::Narrow(wide);
    } else if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, buffer, size < sizeof number ? size : sizeof number);
        text = std::to_string(static_cast<std::int32_t>(number));
    }
    return true;
}

std::vector<std::string> RegistryStore::EnumSubkeys(Hive hive) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root(hive).get(), L"", 0, kReadAccess, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kRegEnumBuffer];
        wchar_t cls[kRegEnumBuffer];
        DWORD nameSize = kRegEnumBuffer; // in characters
        DWORD classSize = kRegEnumBuffer;
        FILETIME written{};
        if (RegEnumKeyExW(key, index, name, &nameSize, nullptr, cls, &classSize, &written) != ERROR_SUCCESS) {
            break;
        }
        names.push_back(platform::Narrow(std::wstring_view(name, nameSize)));
    }
    RegCloseKey(key);
    return names;
}

bool RegistryStore::ValueExists(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root(hive).get(), W(keyPath).c_str(), 0, kReadAccess, &key) != ERROR_SUCCESS) {
        return false;
    }
    BYTE buffer[kReadBytes];
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExW(key, W(valueName).c_str(), nullptr, nullptr, buffer, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace settings
