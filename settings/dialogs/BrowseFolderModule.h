#pragma once

// The folder picker behind the output options' browse buttons.

#include "platform/Paths.h"

#include <functional>
#include <string>

namespace settings::dialogs {

// Opens the picker on startFolder (the root when it is empty or missing). The chosen folder without a
// trailing separator (the root stays "/"), or empty text when cancelled.
std::string BrowseForFolder(const std::string& startFolder, const std::string& title);

// The picker as the dialogs call it; tests replace it.
using FolderPicker = std::function<std::string(const std::string& startFolder, const std::string& title)>;

// The folder with exactly one trailing separator, as the batch takes output folders.
inline std::string WithTrailingSeparator(const std::string& folder) {
    return platform::FolderWithSeparator(folder);
}

} // namespace settings::dialogs
