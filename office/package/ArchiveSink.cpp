#include "office/package/ArchiveSink.h"

#include "automation/AutomationError.h"
#include "platform/FileDescriptors.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace office::package::detail {

namespace {

using automation::AutomationError;

std::string ErrnoText() {
    return std::strerror(errno);
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
    std::copy(data, data + size, out_.begin() + static_cast<std::ptrdiff_t>(at));
}

TempFileSink::TempFileSink(const std::filesystem::path& target, const std::string& member) : member_(member) {
    fd_ = platform::CreateStagingFile(platform::PathToUtf8(target), platform::kStagingSave, path_);
    if (fd_ < 0) {
        const std::string why = ErrnoText();
        const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
        throw AutomationError(member_, "cannot create a temporary file in " + platform::PathToUtf8(folder) +
                                           ": " + why);
    }
}

TempFileSink::~TempFileSink() {
    if (fd_ >= 0)
        platform::CloseFile(fd_);
    if (!committed_)
        platform::RemoveFile(path_);
}

void TempFileSink::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    if (!platform::WriteAt(fd_, offset, data, size))
        throw AutomationError(member_, "cannot write " + path_ + ": " + ErrnoText());
}

void TempFileSink::Clear() {
    if (!platform::TruncateFile(fd_, 0))
        throw AutomationError(member_, "cannot write " + path_ + ": " + ErrnoText());
}

void TempFileSink::Close(bool flush) {
    if (!platform::GiveNewFileAccess(fd_) || (flush && !platform::FlushToDisk(fd_)))
        throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
    int fd = fd_;
    fd_ = -1;
    if (!platform::CloseFile(fd))
        throw AutomationError(member_, "cannot finish " + path_ + ": " + ErrnoText());
}

void TempFileSink::CommitAs(const std::filesystem::path& target) {
    if (!platform::RenameReplacing(path_, platform::PathToUtf8(target)))
        throw AutomationError(member_, "cannot replace " + platform::PathToUtf8(target) + ": " + ErrnoText());
    committed_ = true;
}

} // namespace office::package::detail
