// The INI store on Windows: kernel32's profile functions, texts converted between UTF-8 and the
// system's ANSI code page (the files stay in that code page there).

#include "settings/basIniFile.h"

#include <windows.h>

namespace settings {

namespace {

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return std::string();
    }
    const int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

std::string ToAnsi(const std::string& utf8) {
    return Convert(utf8, CP_UTF8, CP_ACP);
}
std::string FromAnsi(const std::string& ansi) {
    return Convert(ansi, CP_ACP, CP_UTF8);
}

} // namespace

std::string IniFile::ReadIni(const std::string& section, const std::string& key,
                             const std::string& defaultText) const {
    char buffer[kIniReadLimit];
    const DWORD count = GetPrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), "", buffer,
                                                 sizeof buffer, ToAnsi(IniFilePath).c_str());
    if (count == 0) {
        return defaultText;
    }
    // A double-byte character cut in half at the buffer's end is dropped rather than kept broken.
    std::size_t length = count;
    std::size_t i = 0;
    while (i < length) {
        if (IsDBCSLeadByte(static_cast<BYTE>(buffer[i]))) {
            if (i + 1 >= length) {
                length = i;
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return FromAnsi(std::string(buffer, length));
}

int IniFile::WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), ToAnsi(value).c_str(),
                                      ToAnsi(IniFilePath).c_str());
}

} // namespace settings
