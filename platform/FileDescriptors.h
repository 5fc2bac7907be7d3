#pragma once

// Reads and writes by C runtime descriptor (those of CreateStagingFile and OpenForReading), for code
// that cannot go through streams: an archive written out of order, an archive that is checked for
// changes while it is read. Paths are UTF-8. Failures return false or -1 with errno set.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An existing file, for reading; the descriptor stays out of child processes. A folder fails with
// EISDIR where the system cannot open one as a file.
int OpenForReading(const std::string& path);
// Another descriptor for the same open file, for reading, also kept out of child processes.
int DuplicateForReading(int fd);
// Closes the descriptor; false when the last writes could not be finished.
bool CloseFile(int fd);

// Up to size bytes at offset, fewer only at the end of the file; -1 on failure.
std::int64_t ReadAt(int fd, std::uint64_t offset, void* out, std::size_t size);
// All size bytes at offset, the file growing as needed.
bool WriteAt(int fd, std::uint64_t offset, const void* data, std::size_t size);
bool TruncateFile(int fd, std::uint64_t size);
// Waits until what was written is on the disk.
bool FlushToDisk(int fd);
// A staging file is created private to its maker; before it takes the target's place it gets the
// access any new file of this process gets (POSIX: mode 0666 less the umask; Windows: nothing to do).
bool GiveNewFileAccess(int fd);

enum class FileKind { Regular, Folder, Other };

// What the checks for a file changed in place compare: its kind, size and modification time (the
// finest the system keeps; only ever compared).
struct OpenFileState {
    FileKind kind = FileKind::Other;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const OpenFileState&) const = default;
};
bool DescribeOpenFile(int fd, OpenFileState& state);

bool RemoveFile(const std::string& path);
// Renames from to to, replacing a file of that name.
bool RenameReplacing(const std::string& from, const std::string& to);

} // namespace platform
