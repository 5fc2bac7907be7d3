#include "batch/OutputNames.h"

#include <algorithm>

namespace batch {

// Windows paths: forward slashes become backslashes and one backslash ends the folder.
std::string NormalizeFolderPath(std::string& path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    return path;
}

} // namespace batch
