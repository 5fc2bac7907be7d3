#pragma once

// Absolute paths as each system writes them, for what the window takes from the command line.

#include "support/WorkFolders.h"

#include <string>

// "/d/a.pptx" here; on Windows, where an absolute path starts with a drive, "C:\d\a.pptx".
inline std::string AbsolutePath(const std::string& posix) {
#ifdef _WIN32
    return "C:" + testsupport::Native(posix);
#else
    return posix;
#endif
}
