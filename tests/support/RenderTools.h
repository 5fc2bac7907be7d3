#pragma once

// Rendering checks drive LibreOffice (and pdftoppm) through the shell. Why they cannot run here, or
// nothing when they can.

#include <cstdlib>
#include <optional>
#include <string>

namespace testsupport {

inline std::optional<std::string> WhyNoRenderer(bool withPdftoppm) {
#ifdef _WIN32
    (void)withPdftoppm;
    // Their commands are Linux's; the Windows program's decks are the Linux program's byte for byte
    // (scripts/test-windows.sh compares them), so they draw the same.
    return "rendering checks run on Linux";
#else
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        return "soffice is not installed";
    if (withPdftoppm && std::system("command -v pdftoppm >/dev/null 2>&1") != 0)
        return "pdftoppm is not installed";
    return std::nullopt;
#endif
}

} // namespace testsupport
