#pragma once

// Where the program's data (movie profiles, help pages, object list defaults) is found: beside the
// program in a build tree, under <prefix>/share/quarnel when installed.

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The folders searched, first match wins: <programFolder>, <programFolder>/../share/quarnel.
std::vector<std::string> DataFolders(const std::string& programFolder);
// The first existing <folder>/<relative> of DataFolders(programFolder).
std::optional<std::string> FindDataPath(const std::string& programFolder, const std::string& relative);
// As above for this program.
std::optional<std::string> FindDataPath(const std::string& relative);

} // namespace platform
