#pragma once

// Where a large batch's decks come from: a list of paths (a file or standard input, one a line or
// NUL-separated) and folders walked recursively.

#include <istream>
#include <string>
#include <vector>

namespace cli {

// Paths one a line (a CR before the line end is dropped) or NUL-separated; empty entries vanish.
std::vector<std::string> ReadFileList(std::istream& in, bool nulSeparated);

// Every PowerPoint file (batch::IsPresentationExtension: .pptx, .pptm, .ppt, .ppsx, ...) below the folder,
// sorted by path. Hidden files and folders are left out: the batch's own unfinished outputs and office lock
// files ("~$...") are such names. Folders that cannot be read are passed over.
std::vector<std::string> FindPresentations(const std::string& folder);

} // namespace cli
