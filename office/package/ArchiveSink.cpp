#include "office/package/ArchiveSink.h"

#include "automation/AutomationError.h"
#include "platform/StagingFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace office::package::detail {

namespace {

using automation::AutomationError;

std::string ErrnoText() {
    return std::strerror(errno);
}

// The process umask without changing it (umask() would, for a moment, for every thread).
mode_t ProcessUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    mode_t mask = 022;
    if (!status)
        return mask;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

} // namespace

void ByteSink::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    const auto at = static_cast<std::size_t>(offset);
    if (at == out_.size()) {
        out_.insert(out_.end(), data, data + size);
        return;
    }
    if (out_.size() < at + size)
        out_.resize(at + size);
    std::copy(data, data + size, out_.begin() + static_cast<long>(at));
}

TempFileSink::TempFileSink(const std::filesystem::path& target, const std::string& member) : member_(member) {
    fd_ = platform::CreateStagingFile(target.string(), platform::kStagingSave, path_);
    if (fd_ < 0) {
        const std::string why = ErrnoText();
        const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
        throw AutomationError(member_, "cannot create a temporary file in " + folder.string() + ": " + why);
    }
}

TempFileSink::~TempFileSink() {
    if (fd_ >= 0)
        close(fd_);
    if (!committed_)
        unlink(path_.c_str());
}

void TempFileSink::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw AutomationError(member_, "cannot write " + path_ + ": " + ErrnoText());
        done += static_cast<std::size_t>(n);
    }
}

void TempFileSink::Clear() {
    if (ftruncate(fd_, 0) != 0)
        throw AutomationError(member_, "cannot write " + path_ + ": " + ErrnoText());
}

void TempFileSink::Close(bool flush) {
    if (fchmod(fd_, 0666 & ~ProcessUmask()) != 0 || (flush && fsync(fd_) != 0))
        throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
}

void TempFileSink::CommitAs(const std::filesystem::path& target) {
    if (rename(path_.c_str(), target.c_str()) != 0)
        throw AutomationError(member_, "cannot replace " + target.string() + ": " + ErrnoText());
    committed_ = true;
}

} // namespace office::package::detail
