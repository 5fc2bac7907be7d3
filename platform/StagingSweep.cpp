#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "platform/StagingRemoval.h"

// What a killed run left: the same walk on every system; only how a file is removed differs.

#include <system_error>

namespace platform {

namespace fs = std::filesystem;

std::size_t RemoveStaleStaging(const fs::path& folder, std::string_view targetName) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto parsed = ParseStagingName(PathToUtf8(it->path().filename()));
        if (!parsed || (!targetName.empty() && parsed->target != targetName))
            continue;
        std::error_code statError;
        if (!fs::is_regular_file(it->symlink_status(statError)) || !StagingMakerGone(parsed->pid))
            continue;
        if (detail::RemoveLeftFile(it->path()))
            ++removed;
    }
    return removed;
}

std::size_t RemoveStaleWorkFolders(const fs::path& root, std::string_view prefix) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        if (!fs::is_directory(it->symlink_status(statError)) ||
            !IsStaleWorkFolderName(prefix, PathToUtf8(it->path().filename())))
            continue;
        std::error_code removeError;
        if (fs::remove_all(it->path(), removeError) > 0)
            ++removed;
    }
    return removed;
}

} // namespace platform
