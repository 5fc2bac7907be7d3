#pragma once

// The program-wide file-system object: the file and folder queries the batch and the window use.
// Paths are UTF-8. Dates are local date-times with whole seconds.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using FileTime = std::chrono::system_clock::time_point;

struct FileDates {
    FileTime created;
    FileTime modified;
    FileTime accessed;
};

class FileSystem {
public:
    bool FileExists(const std::string& path) const;
    bool FolderExists(const std::string& path) const;
    std::uint64_t FileSize(const std::string& path) const; // throws std::runtime_error when missing
    FileDates GetFileDates(const std::string& path) const; // throws std::runtime_error when missing
    // The folder's own files (no subfolders), full paths, in the platform's enumeration order.
    std::vector<std::string> FolderFiles(const std::string& path) const;
    std::string GetExtensionName(const std::string& path) const; // without the dot
    std::string GetBaseName(const std::string& path) const;
    std::string GetParentFolderName(const std::string& path) const; // no trailing separator
    std::string GetTempFolder() const;
    std::string GetTempName() const; // a fresh file name such as "radB1F23.tmp"
    bool DeleteFile(const std::string& path) const;
    bool CreateFolder(const std::string& path) const;
    // The folder the program runs from.
    std::string ProgramFolder() const;
};

// The program-wide file-system object. It holds no state, so sharing one instance is safe.
extern const FileSystem gFSO;

} // namespace platform
