#pragma once

// The registry store: typed values under hives and backslash-separated key paths.
// Every call opens the hive, acts and closes; nothing is cached. On Linux each hive is a file
// under the store's folder; on Windows the same class forwards to advapi32.

#include <cstdint>
#include <string>
#include <vector>

namespace settings {

enum class Hive : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
};

constexpr int kRegReadLimit = 1024;  // value data is read into this many bytes
constexpr int kRegEnumBuffer = 2000; // subkey names are enumerated into this many bytes

class RegistryStore {
public:
    // folder: where the hive files live. DefaultFolder() gives $QUARNEL_REGISTRY_DIR, else
    // $XDG_CONFIG_HOME/vodrik (or ~/.config/vodrik). Windows has no folder: the system's hives, the
    // machine's being HKEY_CURRENT_USER\$QUARNEL_REGISTRY_KEY when that is set.
    explicit RegistryStore(std::string folder = DefaultFolder());

    static std::string DefaultFolder();
    const std::string& folder() const { return folder_; }

    void CreateKey(Hive hive, const std::string& keyPath);
    // 0 when the value was deleted, otherwise a non-zero status (2: not found, as the platform says).
    long DeleteValue(Hive hive, const std::string& keyPath, const std::string& valueName);
    bool WriteText(Hive hive, const std::string& keyPath, const std::string& valueName,
                   const std::string& value);
    bool WriteNumber(Hive hive, const std::string& keyPath, const std::string& valueName, std::int32_t value);
    // Text: the text; DWORD: its decimal text; other types: found, and text left as passed.
    bool ReadValue(Hive hive, const std::string& keyPath, const std::string& valueName, std::string& text);
    std::vector<std::string> EnumSubkeys(Hive hive);
    bool ValueExists(Hive hive, const std::string& keyPath, const std::string& valueName);

    // Stores raw bytes with a type code other than text or number (what other programs may leave).
    void WriteBinary(Hive hive, const std::string& keyPath, const std::string& valueName,
                     const std::vector<std::uint8_t>& data, std::uint32_t type = 3);

private:
    std::string folder_;
};

} // namespace settings
