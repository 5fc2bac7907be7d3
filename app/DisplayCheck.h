#pragma once

// Starting the window without a display. Qt ends such a process with an abort and its own English
// text; the program says in one line what happened and what to use instead, and exits with 1.

#include <functional>
#include <string>

namespace app {

inline constexpr const char* kNoDisplayMessage =
    "quarnel: 画面 (ディスプレイ) に接続できないためウィンドウを開けません。端末では quarnel-cli "
    "を使ってください。 (cannot connect to a display; in a terminal use quarnel-cli)";
inline constexpr int kNoDisplayExitCode = 1;

// True when Qt has a window system to try: a platform named by QT_QPA_PLATFORM or by a "-platform"
// argument, or the system's own display (systemDisplay: app::SystemDisplay). getenv answers "" for
// unset.
bool DisplayNamed(const std::function<std::string(const char*)>& getenv, int argc, char** argv,
                  bool systemDisplay);

// Runs start (the construction of the application object). Should Qt's window system fail to start
// inside it, prints kNoDisplayMessage on standard error and ends the process with kNoDisplayExitCode.
// Qt's own platform messages of the start are held back and printed only when the start succeeds.
void StartWindowSystem(const std::function<void()>& start);

} // namespace app
