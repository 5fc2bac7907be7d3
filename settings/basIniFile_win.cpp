// The INI store on Windows: kernel32's profile functions. The wide-character calls keep a file
// that exists in the system's ANSI code page in that code page (as files of older versions are),
// and take paths and texts in any script.

#include "platform/WideText.h"
#include "settings/basIniFile.h"

#include <windows.h>

namespace settings {

std::string IniFile::ReadIni(const std::string& section, const std::string& key,
                             const std::string& defaultText) const {
    wchar_t buffer[kIniReadLimit];
    DWORD count = GetPrivateProfileStringW(platform::Widen(section).c_str(), platform::Widen(key).c_str(),
                                           L"", buffer, kIniReadLimit, platform::Widen(IniFilePath).c_str());
    if (count == 0) {
        return defaultText;
    }
    // A character cut in half at the buffer's end is dropped rather than kept broken.
    if (IS_HIGH_SURROGATE(buffer[count - 1])) {
        --count;
    }
    return platform::Narrow(std::wstring_view(buffer, count));
}

int IniFile::WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    return WritePrivateProfileStringW(platform::Widen(section).c_str(), platform::Widen(key).c_str(),
                                      platform::Widen(value).c_str(), platform::Widen(IniFilePath).c_str());
}

} // namespace settings
