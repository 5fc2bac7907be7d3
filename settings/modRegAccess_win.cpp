// The registry store on Windows: the same operations over advapi32's narrow-character functions,
// texts converted between UTF-8 and the system's ANSI code page.

#include "settings/modRegAccess.h"

#include <cstring>
#include <windows.h>

namespace settings {

namespace {

constexpr REGSAM kReadAccess = 0x20001;   // READ_CONTROL | KEY_QUERY_VALUE
constexpr REGSAM kCreateAccess = 0x2003F; // READ_CONTROL | the six specific key rights

std::string ToAnsi(const std::string& utf8) {
    if (utf8.empty()) {
        return std::string();
    }
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

std::string FromAnsi(const char* data, std::size_t size) {
    if (size == 0) {
        return std::string();
    }
    const int wide = MultiByteToWideChar(CP_ACP, 0, data, static_cast<int>(size), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, data, static_cast<int>(size), w.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

HKEY Root(Hive hive) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<std::uint32_t>(hive)));
}

// Opens for setting values, creating the key first when it is missing.
HKEY OpenForWriting(RegistryStore& store, Hive hive, const std::string& keyPath) {
    HKEY key = nullptr;
    const std::string path = ToAnsi(keyPath);
    if (RegOpenKeyExA(Root(hive), path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        return key;
    }
    store.CreateKey(hive, keyPath);
    if (RegOpenKeyExA(Root(hive), path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
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
    RegSetValueExA(key, ToAnsi(valueName).c_str(), 0, type, data, size);
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
    if (RegCreateKeyExA(Root(hive), ToAnsi(keyPath).c_str(), 0, nullptr, 0, kCreateAccess, nullptr, &key,
                        &disposition) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

long RegistryStore::DeleteValue(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(Root(hive), ToAnsi(keyPath).c_str(), 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueA(key, ToAnsi(valueName).c_str());
        RegCloseKey(key);
    }
    return status;
}

bool RegistryStore::WriteText(Hive hive, const std::string& keyPath, const std::string& valueName,
                              const std::string& value) {
    const std::string ansi = ToAnsi(value);
    SetValue(*this, hive, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(ansi.c_str()),
             static_cast<DWORD>(ansi.size() + 1));
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
    if (RegOpenKeyExA(Root(hive), ToAnsi(keyPath).c_str(), 0, kReadAccess, &key) != ERROR_SUCCESS) {
        text.clear();
        return false;
    }
    BYTE buffer[kRegReadLimit];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, ToAnsi(valueName).c_str(), nullptr, &type, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        text.clear();
        return false;
    }
    if (type == REG_SZ) {
        std::size_t length = 0;
        while (length < size && buffer[length] != 0) {
            ++length;
        }
        text = FromAnsi(reinterpret_cast<const char*>(buffer), length);
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
    if (RegOpenKeyExA(Root(hive), "", 0, kReadAccess, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char name[kRegEnumBuffer];
        char cls[kRegEnumBuffer];
        DWORD nameSize = sizeof name;
        DWORD classSize = sizeof cls;
        FILETIME written{};
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, cls, &classSize, &written) != ERROR_SUCCESS) {
            break;
        }
        names.push_back(FromAnsi(name, nameSize));
    }
    RegCloseKey(key);
    return names;
}

bool RegistryStore::ValueExists(Hive hive, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(Root(hive), ToAnsi(keyPath).c_str(), 0, kReadAccess, &key) != ERROR_SUCCESS) {
        return false;
    }
    BYTE buffer[kRegReadLimit];
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExA(key, ToAnsi(valueName).c_str(), nullptr, nullptr, buffer, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace settings
