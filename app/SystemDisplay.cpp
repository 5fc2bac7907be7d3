#include "app/SystemDisplay.h"

namespace app {

bool SystemDisplay(const std::function<std::string(const char*)>& getenv) {
    return !getenv("DISPLAY").empty() || !getenv("WAYLAND_DISPLAY").empty();
}

} // namespace app
