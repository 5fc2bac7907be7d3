#include "platform/DataPaths.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <filesystem>

namespace platform {

std::vector<std::string> DataFolders(const std::string& programFolder) {
    const std::filesystem::path installed = std::filesystem::path(programFolder) / ".." / "share" / "quarnel";
    return {programFolder, installed.lexically_normal().string()};
}

std::optional<std::string> FindDataPath(const std::string& programFolder, const std::string& relative) {
    for (const auto& folder : DataFolders(programFolder)) {
        const std::string path = JoinPath(folder, relative);
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            return path;
        }
    }
    return std::nullopt;
}

std::optional<std::string> FindDataPath(const std::string& relative) {
    return FindDataPath(gFSO.ProgramFolder(), relative);
}

} // namespace platform
