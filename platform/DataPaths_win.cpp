#include "platform/DataPaths.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WideText.h"

#include <filesystem>

namespace platform {

std::vector<std::string> DataFolders(const std::string& programFolder) {
    const std::filesystem::path installed = PathFromUtf8(programFolder) / ".." / "share" / "quarnel";
    return {programFolder, PathToUtf8(installed.lexically_normal())};
}

std::optional<std::string> FindDataPath(const std::string& programFolder, const std::string& relative) {
    for (const auto& folder : DataFolders(programFolder)) {
        const std::string path = JoinPath(folder, relative);
        std::error_code ec;
        if (std::filesystem::exists(PathFromUtf8(path), ec))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> FindDataPath(const std::string& relative) {
    return FindDataPath(gFSO.ProgramFolder(), relative);
}

} // namespace platform
