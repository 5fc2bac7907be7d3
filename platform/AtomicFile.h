#pragma once

// Whole-file reads and atomic replacement (a staging file in the same folder, then a rename), so a
// reader sees either the old or the new contents, never a mixture.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class ReadStatus { Ok, Missing, Failed };

struct FileContents {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
};

FileContents ReadWholeFile(const std::string& path);
// false when the file could not be written; the old file is then left as it was.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace platform
