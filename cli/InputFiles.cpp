#include "cli/InputFiles.h"

#include "batch/InputList.h"
#include "platform/PathText.h"

#include <algorithm>
#include <filesystem>

namespace cli {

std::vector<std::string> ReadFileList(std::istream& in, bool nulSeparated) {
    std::vector<std::string> paths;
    std::string entry;
    while (std::getline(in, entry, nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && !entry.empty() && entry.back() == '\r') {
            entry.pop_back();
        }
        if (!entry.empty()) {
            paths.push_back(entry);
        }
    }
    return paths;
}

namespace {

bool Hidden(const std::filesystem::path& path) {
    const std::string name = platform::PathToUtf8(path.filename());
    return !name.empty() && (name[0] == '.' || name.rfind("~$", 0) == 0);
}

} // namespace

std::vector<std::string> FindPresentations(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(platform::PathFromUtf8(folder),
                                        fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (Hidden(it->path())) {
            if (it->is_directory(ec)) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (!it->is_regular_file(ec)) {
            continue;
        }
        const std::string extension = batch::LowerExtension(platform::PathToUtf8(it->path()));
        if (batch::IsPresentationExtension(extension)) {
            found.push_back(platform::PathToUtf8(it->path().lexically_normal()));
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace cli
