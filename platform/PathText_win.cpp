#include "platform/PathText.h"
#include "platform/WideText.h"

namespace platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(Widen(utf8));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    return Narrow(path.native());
}

} // namespace platform
