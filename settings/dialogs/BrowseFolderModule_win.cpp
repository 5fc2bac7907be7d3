// The shell's folder picker (Windows builds only): file-system folders only, opening on the start
// folder through the picker's initialisation callback.

#include "platform/WideText.h"
#include "settings/dialogs/BrowseFolderModule.h"

#include <shlobj.h>
#include <windows.h>

namespace settings::dialogs {

namespace {

constexpr UINT kSelectByPath = WM_USER + 103; // BFFM_SETSELECTIONW

int CALLBACK OnPickerMessage(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageW(window, kSelectByPath, 1, data);
    }
    return 0;
}

} // namespace

std::string BrowseForFolder(const std::string& startFolder, const std::string& title) {
    const std::wstring start = platform::Widen(startFolder);
    const std::wstring caption = platform::Widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr; // the desktop
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = OnPickerMessage;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (item == nullptr) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL hasPath = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    return hasPath ? platform::Narrow(path) : std::string();
}

} // namespace settings::dialogs
