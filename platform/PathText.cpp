#include "platform/PathText.h"

namespace platform {

// POSIX paths are bytes, and the program's are UTF-8 already.
std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    return path.string();
}

} // namespace platform
