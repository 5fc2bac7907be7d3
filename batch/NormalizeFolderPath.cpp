#include "batch/OutputNames.h"

namespace batch {

std::string NormalizeFolderPath(std::string& path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

} // namespace batch
