#pragma once

// Whether the system itself gives the window somewhere to be seen, before Qt is asked to start.

#include <functional>
#include <string>

namespace app {

// An X display (DISPLAY) or a Wayland display (WAYLAND_DISPLAY) named in the environment; getenv
// answers "" for unset. On Windows, where those variables mean nothing, the process's window station
// being the interactive one: a service's, a remote shell's or a task's run without a logon is not,
// and a window opened there is seen by no one.
bool SystemDisplay(const std::function<std::string(const char*)>& getenv);

} // namespace app
