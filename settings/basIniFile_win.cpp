// The INI store on Windows: kernel32's profile functions. The wide-character calls keep a file
// that exists in the system's ANSI code page in that code page (as files of older versions are),
// and take paths and texts in any script. A new file is begun as UTF-16, which the profile
// functions then keep: in the ANSI code page of a system that is not Japanese the decisions'
// Japanese texts would be stored as question marks.

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

namespace {

// Only a file that is not there yet is begun: another program's file keeps its encoding.
void BeginAsUtf16(const std::wstring& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    static constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, kByteOrderMark, sizeof kByteOrderMark, &written, nullptr);
    CloseHandle(file);
}

} // namespace

int IniFile::WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    const std::wstring path = platform::Widen(IniFilePath);
    BeginAsUtf16(path);
    return WritePrivateProfileStringW(platform::Widen(section).c_str(), platform::Widen(key).c_str(),
                                      platform::Widen(value).c_str(), path.c_str());
}

} // namespace settings
