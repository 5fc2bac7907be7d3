#include "platform/Paths.h"

#include "platform/FileSystem.h"

#include <QStandardPaths>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace platform {

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string FolderWithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string DesktopFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty()) {
        desktop = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    }
    return desktop.toStdString();
}

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = JoinPath(home != nullptr && home[0] != '\0' ? home : "/tmp", ".config");
    }
    return JoinPath(base, "vodrik");
}

bool IsFolderWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool IsFileWritable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::string OleIniPath(const std::string& programFolder, const std::string& configFolder) {
    if (IsFolderWritable(programFolder)) {
        return JoinPath(programFolder, "ole.ini");
    }
    std::error_code ec;
    std::filesystem::create_directories(configFolder, ec);
    const std::string path = JoinPath(configFolder, "ole.ini");
    // An installed program starts from the object list it ships (share/quarnel/ole.ini); the
    // person's own copy is never replaced.
    const std::filesystem::path shipped =
        (std::filesystem::path(programFolder) / ".." / "share" / "quarnel" / "ole.ini").lexically_normal();
    if (!std::filesystem::exists(path, ec) && std::filesystem::is_regular_file(shipped, ec)) {
        std::filesystem::copy_file(shipped, path, ec);
    }
    return path;
}

std::string OleIniPath() {
    return OleIniPath(gFSO.ProgramFolder(), ConfigFolder());
}

} // namespace platform
