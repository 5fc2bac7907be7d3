#include "platform/FileDescriptors.h"
#include "platform/WideText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {
namespace {

HANDLE OsHandle(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// errno for the last system error, for the messages that quote strerror.
void SetErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_INVALID_HANDLE:
        errno = EBADF;
        break;
    default:
        errno = EIO;
        break;
    }
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// One system call moves at most this much, well inside a DWORD.
constexpr std::size_t kChunk = 1u << 30;

} // namespace

int OpenForReading(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return -1;
    }
    // Shared with writers and with a rename or delete, as a POSIX open is.
    const HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0)
        CloseHandle(file);
    return fd;
}

int DuplicateForReading(int fd) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), OsHandle(fd), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        SetErrnoFromLastError();
        return -1;
    }
    const int duplicate = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_RDONLY | _O_BINARY);
    if (duplicate < 0)
        CloseHandle(copy);
    return duplicate;
}

bool CloseFile(int fd) {
    return _close(fd) == 0;
}

std::int64_t ReadAt(int fd, std::uint64_t offset, void* out, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at = At(offset + done);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min(size - done, kChunk));
        if (!ReadFile(OsHandle(fd), bytes + done, want, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            SetErrnoFromLastError();
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

bool WriteAt(int fd, std::uint64_t offset, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at = At(offset + done);
        DWORD put = 0;
        const auto want = static_cast<DWORD>(std::min(size - done, kChunk));
        if (!WriteFile(OsHandle(fd), bytes + done, want, &put, &at)) {
            SetErrnoFromLastError();
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += put;
    }
    return true;
}

bool TruncateFile(int fd, std::uint64_t size) {
    const errno_t error = _chsize_s(fd, static_cast<long long>(size));
    if (error != 0)
        errno = error;
    return error == 0;
}

bool FlushToDisk(int fd) {
    if (FlushFileBuffers(OsHandle(fd)))
        return true;
    SetErrnoFromLastError();
    return false;
}

bool GiveNewFileAccess(int) {
    // Created with the folder's inherited access, as any new file is.
    return true;
}

bool DescribeOpenFile(int fd, OpenFileState& state) {
    BY_HANDLE_FILE_INFORMATION info{};
    const HANDLE file = OsHandle(fd);
    if (!GetFileInformationByHandle(file, &info)) {
        SetErrnoFromLastError();
        return false;
    }
    state.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                 : GetFileType(file) == FILE_TYPE_DISK                   ? FileKind::Regular
                                                                         : FileKind::Other;
    state.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    state.modified =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
    return true;
}

bool RemoveFile(const std::string& path) {
    if (DeleteFileW(Widen(path).c_str()))
        return true;
    SetErrnoFromLastError();
    return false;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetErrnoFromLastError();
    return false;
}

} // namespace platform
