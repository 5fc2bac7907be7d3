#pragma once

// Converts a deck with LibreOffice running headless, for formats our engine does not read (the
// PowerPoint 97-2003 binary decks). Every run gets a private folder of its own holding a fresh
// profile (macros disabled, linked content blocked, network through a dead proxy), a copy of the
// input, LibreOffice's temporary files and the result; the folder is removed before the call
// returns or throws, whatever happened. The input file is only read.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace office::binary {

struct ConverterSettings {
    std::string program = "soffice"; // a path, or a name looked up on PATH
    // A large deck converts in well under a minute; the limit only catches a hung converter.
    std::chrono::seconds timeLimit{300};
    // Where the private folder goes; empty: platform::WorkFolderRoot() ($TMPDIR when absolute, else /tmp).
    std::string tempFolder;
};

// Polled several times a second during a conversion; true stops it.
using StopCheck = std::function<bool()>;

// The converted file's bytes. targetExtension names LibreOffice's output format ("pptx"; "ppt"
// makes a binary deck). Throws automation::AutomationError for member with a Japanese userText
// when LibreOffice is missing, times out, is stopped, crashes or cannot load the file.
std::vector<std::uint8_t> ConvertWithLibreOffice(const std::string& inputPath,
                                                 const std::string& targetExtension,
                                                 const ConverterSettings& settings, const StopCheck& stop,
                                                 const std::string& member);

// The folder prefix of the private folders ("quarnel-convert-<pid>-"); folders of processes that
// no longer run are removed at the next conversion.
inline constexpr const char* kConvertFolderPrefix = "quarnel-convert-";

} // namespace office::binary
