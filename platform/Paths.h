#pragma once

// Where the program finds its places on this system: the desktop, its configuration folder and
// the object conversion list file.

#include <string>

namespace platform {

// The user's desktop folder (the home folder when the system names none).
std::string DesktopFolder();
// $XDG_CONFIG_HOME/vodrik, or ~/.config/vodrik.
std::string ConfigFolder();
// Whether a file can be created in the folder.
bool IsFolderWritable(const std::string& folder);
// Whether an existing file may be written to.
bool IsFileWritable(const std::string& path);
// "ole.ini" in the program folder, or in the configuration folder (created on demand) when the
// program folder is not writable.
std::string OleIniPath();
std::string OleIniPath(const std::string& programFolder, const std::string& configFolder);
// a + "/" + b, without doubling a separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder with exactly one trailing separator: "/" here; on Windows "\", every "/" in it
// becoming one too (as a person types either there).
std::string FolderWithSeparator(std::string folder);

} // namespace platform
