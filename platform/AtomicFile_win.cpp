#include "platform/AtomicFile.h"
#include "platform/StagingFiles.h"
#include "platform/WideText.h"

#include <algorithm>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const int n = ::_write(fd, bytes.data() + done, chunk);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

} // namespace

FileContents ReadWholeFile(const std::string& path) {
    FileContents result;
    // Readers share the file with writers and with a rename or delete of it, as on POSIX.
    const HANDLE file =
        CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.status = IsMissingError(GetLastError()) ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }
    // A folder opens only with FILE_FLAG_BACKUP_SEMANTICS, so what opened is a file.
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            CloseHandle(file);
            result.status = ReadStatus::Failed;
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        result.bytes.append(buffer, n);
    }
    CloseHandle(file);
    result.status = ReadStatus::Ok;
    return result;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    // A write of this file that was killed half-way left its staging file; this one takes it away.
    const std::filesystem::path target = PathFromUtf8(path);
    RemoveStaleStaging(target.parent_path().empty() ? "." : target.parent_path(),
                       PathToUtf8(target.filename()));
    std::string temp;
    const int fd = CreateStagingFile(path, kStagingSave, temp);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::_commit(fd) == 0;
    ok = ::_close(fd) == 0 && ok;
    const std::wstring from = Widen(temp);
    const std::wstring to = Widen(path);
    if (ok) {
        // Replacing keeps what the old file carried besides its bytes: its creation date,
        // attributes and access rights, as the POSIX version keeps the mode. A new file, or a file
        // system that cannot replace, gets a plain rename over the target.
        const bool exists = GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (exists && ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                   nullptr, nullptr))
            return true;
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
    }
    DeleteFileW(from.c_str());
    return false;
}

} // namespace platform
