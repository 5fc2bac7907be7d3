#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QString>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>

namespace platform {

const FileSystem gFSO{};

namespace fs = std::filesystem;

namespace {

fs::path ToPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string FromPath(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

FileTime FromTimespec(const struct statx_timestamp& ts) {
    return FileTime(std::chrono::seconds(ts.tv_sec));
}

// The last path component of a path whose trailing separators are removed.
std::string LastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    const auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

} // namespace

bool FileSystem::FileExists(const std::string& path) const {
    std::error_code ec;
    const auto st = fs::status(ToPath(path), ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool FileSystem::FolderExists(const std::string& path) const {
    std::error_code ec;
    return !path.empty() && fs::is_directory(ToPath(path), ec);
}

std::uint64_t FileSystem::FileSize(const std::string& path) const {
    std::error_code ec;
    const auto size = fs::file_size(ToPath(path), ec);
    if (ec) {
        throw std::runtime_error("file not found: " + path);
    }
    return size;
}

FileDates FileSystem::GetFileDates(const std::string& path) const {
    struct statx sx {};
    if (path.empty() ||
        statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME | STATX_ATIME | STATX_CTIME, &sx) != 0) {
        throw std::runtime_error("file not found: " + path);
    }
    FileDates dates;
    dates.modified = FromTimespec(sx.stx_mtime);
    dates.accessed = FromTimespec(sx.stx_atime);
    // File systems without a birth time report none; the last status change is the nearest stand-in.
    dates.created = (sx.stx_mask & STATX_BTIME) ? FromTimespec(sx.stx_btime) : FromTimespec(sx.stx_ctime);
    return dates;
}

std::vector<std::string> FileSystem::FolderFiles(const std::string& path) const {
    std::vector<std::string> files;
    std::error_code ec;
    fs::directory_iterator it(ToPath(path), ec);
    if (ec) {
        return files;
    }
    for (const auto& entry : it) {
        std::error_code typeEc;
        if (!entry.is_directory(typeEc) && entry.exists(typeEc)) {
            files.push_back(FromPath(entry.path()));
        }
    }
    return files;
}

std::string FileSystem::GetExtensionName(const std::string& path) const {
    const std::string name = LastComponent(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string FileSystem::GetBaseName(const std::string& path) const {
    const std::string name = LastComponent(path);
    if (name == "/") {
        return std::string();
    }
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileSystem::GetParentFolderName(const std::string& path) const {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    const auto slash = p.find_last_of('/');
    if (slash == std::string::npos || p == "/") {
        return std::string();
    }
    std::string parent = p.substr(0, slash);
    while (parent.size() > 1 && parent.back() == '/') {
        parent.pop_back();
    }
    return parent.empty() ? std::string("/") : parent;
}

std::string FileSystem::GetTempFolder() const {
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    std::string folder = ec ? std::string("/tmp") : FromPath(temp);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string FileSystem::GetTempName() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::random_device device;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string name = "rad";
    for (int i = 0; i < 5; ++i) {
        name += kHex[digit(device)];
    }
    return name + ".tmp";
}

bool FileSystem::DeleteFile(const std::string& path) const {
    if (!FileExists(path)) {
        return false;
    }
    std::error_code ec;
    return fs::remove(ToPath(path), ec) && !ec;
}

bool FileSystem::CreateFolder(const std::string& path) const {
    std::error_code ec;
    return !path.empty() && fs::create_directory(ToPath(path), ec) && !ec;
}

std::string FileSystem::ProgramFolder() const {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath().toStdString();
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return FromPath(fs::current_path(ec));
    }
    return FromPath(exe.parent_path());
}

} // namespace platform
