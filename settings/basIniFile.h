#pragma once

// The INI store. Files written by the Windows version are Shift-JIS; UTF-8 files are read too,
// and files are written in UTF-8 here. Sections and keys not written survive a write.

#include <string>

namespace settings {

constexpr int kIniReadLimit = 1024;

class IniFile {
public:
    // The store's one current file; callers set it before reading or writing.
    std::string IniFilePath;

    // The entry's text, or defaultText when the file, section or key is missing or the value is empty.
    std::string ReadIni(const std::string& section, const std::string& key,
                        const std::string& defaultText) const;
    // Non-zero on success.
    int WriteIni(const std::string& section, const std::string& key, const std::string& value);
};

} // namespace settings
