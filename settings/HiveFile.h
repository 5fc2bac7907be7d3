#pragma once

// The in-memory form of one registry hive and its text file format.
//
// File format (UTF-8, one record per line, fields separated by TAB):
//   quarnel-hive<TAB>1
//   key<TAB><path>
//   value<TAB><name><TAB><type number><TAB><data bytes>
//   end
// Every "value" line belongs to the "key" line above it. Fields escape backslash, TAB, LF, CR and the
// other control bytes as \\, \t, \n, \r and \xHH; every other byte stands for itself. The "end" line
// lets a cut-off file be told from a whole one.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

inline constexpr int kHiveFormatVersion = 1;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

struct RegValue {
    std::string name;
    std::uint32_t type = kRegSz;
    std::string data; // raw bytes
};

struct RegKey {
    std::string path; // as first created
    std::vector<RegValue> values;
};

enum class HiveParseResult { Ok, Damaged, NewerVersion };

class HiveData {
public:
    // Key paths and value names compare without regard to case; empty path components are dropped.
    static std::string NormalizePath(std::string_view path);
    static std::string FoldCase(std::string_view text);

    bool HasKey(std::string_view path) const;
    // Creates the key and every missing key above it.
    RegKey& EnsureKey(std::string_view path);
    const RegKey* FindKey(std::string_view path) const;
    RegKey* FindKey(std::string_view path);
    // The direct subkey names of a key, ordered by their case-folded names.
    std::vector<std::string> Subkeys(std::string_view path) const;

    static const RegValue* FindValue(const RegKey& key, std::string_view name);
    static void SetValue(RegKey& key, std::string_view name, std::uint32_t type, std::string data);
    static bool RemoveValue(RegKey& key, std::string_view name);

    std::string Serialize() const;
    HiveParseResult Parse(std::string_view text);

    std::size_t KeyCount() const { return keys_.size(); }

private:
    std::map<std::string, RegKey> keys_; // by folded, normalised path; the hive itself is ""
};

std::string EscapeHiveField(std::string_view raw);
// false when the field holds a malformed escape.
bool UnescapeHiveField(std::string_view field, std::string& raw);

} // namespace settings
