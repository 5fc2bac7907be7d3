#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WideText.h"

#include <algorithm>
#include <filesystem>
#include <shlobj.h>
#include <windows.h>

// <windows.h> names DeleteFile as a macro; FileSystem.h declares a member of that name.
#undef DeleteFile

namespace platform {

namespace {

namespace fs = std::filesystem;

// A shell folder (the desktop, the roaming application data), empty when the system names none.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr)
        folder = Narrow(path);
    CoTaskMemFree(path);
    return folder;
}

} // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/' || folder.back() == '\\')
        return folder + name;
    return folder + "\\" + name;
}

std::string FolderWithSeparator(std::string folder) {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::string DesktopFolder() {
    std::string desktop = KnownFolder(FOLDERID_Desktop);
    if (desktop.empty())
        desktop = KnownFolder(FOLDERID_Profile);
    return desktop;
}

std::string ConfigFolder() {
    std::string base = KnownFolder(FOLDERID_RoamingAppData);
    if (base.empty())
        base = gFSO.GetTempFolder();
    return JoinPath(base, "vodrik");
}

// Access rights on Windows are lists that _waccess does not read; creating a file is the only sure test.
bool IsFolderWritable(const std::string& folder) {
    if (folder.empty())
        return false;
    const std::wstring probe = Widen(JoinPath(folder, ".quarnel-write-test-" + gFSO.GetTempName()));
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool IsFileWritable(const std::string& path) {
    const std::wstring wide = Widen(path);
    // The attribute says no to every writer, whatever the access rights would allow.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return false;
    // Opened for writing and closed at once, which changes nothing in the file.
    const HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::string OleIniPath(const std::string& programFolder, const std::string& configFolder) {
    if (IsFolderWritable(programFolder))
        return JoinPath(programFolder, "ole.ini");
    std::error_code ec;
    fs::create_directories(PathFromUtf8(configFolder), ec);
    const std::string path = JoinPath(configFolder, "ole.ini");
    // An installed program starts from the object list it ships (share\quarnel\ole.ini); the
    // person's own copy is never replaced.
    const fs::path shipped =
        (PathFromUtf8(programFolder) / ".." / "share" / "quarnel" / "ole.ini").lexically_normal();
    if (!fs::exists(PathFromUtf8(path), ec) && fs::is_regular_file(shipped, ec))
        fs::copy_file(shipped, PathFromUtf8(path), ec);
    return path;
}

std::string OleIniPath() {
    return OleIniPath(gFSO.ProgramFolder(), ConfigFolder());
}

} // namespace platform
