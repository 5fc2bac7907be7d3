// The shell's folder picker (Windows builds only): file-system folders only, opening on the start
// folder through the picker's initialisation callback.

#include "settings/dialogs/BrowseFolderModule.h"

#include <shlobj.h>
#include <windows.h>

namespace settings::dialogs {

namespace {

constexpr UINT kSelectByPath = WM_USER + 102; // BFFM_SETSELECTIONA

int CALLBACK OnPickerMessage(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageA(window, kSelectByPath, 1, data);
    }
    return 0;
}

// The program's texts are UTF-8; the picker's narrow calls take the ANSI code page.
std::string ToAnsi(const std::string& utf8) {
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (wide <= 0) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, buffer.data(), wide);
    const int narrow = WideCharToMultiByte(CP_ACP, 0, buffer.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(narrow > 0 ? narrow : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, buffer.c_str(), -1, result.data(), narrow, nullptr, nullptr);
    result.resize(result.find('\0'));
    return result;
}

std::string FromAnsi(const std::string& ansi) {
    const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    if (wide <= 0) {
        return {};
    }
    std::wstring buffer(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(narrow > 0 ? narrow : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, result.data(), narrow, nullptr, nullptr);
    result.resize(result.find('\0'));
    return result;
}

} // namespace

std::string BrowseForFolder(const std::string& startFolder, const std::string& title) {
    std::string start = ToAnsi(startFolder);
    const std::string caption = ToAnsi(title);
    BROWSEINFOA info{};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr; // the desktop
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = OnPickerMessage;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item == nullptr) {
        return {};
    }
    char path[MAX_PATH] = {};
    const BOOL hasPath = SHGetPathFromIDListA(item, path);
    CoTaskMemFree(item);
    return hasPath ? FromAnsi(path) : std::string();
}

std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == '\\') {
        return folder;
    }
    return folder + "\\";
}

} // namespace settings::dialogs
