#include "app/SystemDisplay.h"

#include <windows.h>

namespace app {

bool SystemDisplay(const std::function<std::string(const char*)>&) {
    USEROBJECTFLAGS flags{};
    const HWINSTA station = GetProcessWindowStation();
    if (station == nullptr ||
        !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr)) {
        return true; // cannot tell: let Qt try
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

} // namespace app
