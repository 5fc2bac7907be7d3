#include "platform/FileSystem.h"
#include "platform/WideText.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <windows.h>

// <windows.h> names DeleteFile as a macro for DeleteFileW; the member of that name is meant here.
#undef DeleteFile

namespace platform {

const FileSystem gFSO{};

namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// How many leading characters are a root that stays: "C:\", "C:", "\\server\share\" or "\".
std::size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t separators = 0;
        for (std::size_t i = 2; i < path.size(); ++i) {
            if (IsSeparator(path[i]) && ++separators == 2)
                return i + 1;
        }
        return path.size();
    }
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

std::string WithoutTrailingSeparators(std::string path) {
    const std::size_t root = RootLength(path);
    while (path.size() > root && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

// The last path component of a path whose trailing separators are removed.
std::string LastComponent(const std::string& path) {
    const std::string p = WithoutTrailingSeparators(path);
    const std::size_t root = RootLength(p);
    if (p.size() == root)
        return std::string();
    std::size_t start = root;
    for (std::size_t i = root; i < p.size(); ++i) {
        if (IsSeparator(p[i]))
            start = i + 1;
    }
    return p.substr(start);
}

// FILETIME counts 100 ns steps from 1601; the program's dates are whole seconds from 1970.
FileTime FromFileTime(const FILETIME& time) {
    const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    const auto seconds = static_cast<std::int64_t>(ticks / 10000000) - kSecondsFrom1601To1970;
    return FileTime(std::chrono::seconds(seconds));
}

} // namespace

bool FileSystem::FileExists(const std::string& path) const {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileSystem::FolderExists(const std::string& path) const {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint64_t FileSystem::FileSize(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw std::runtime_error("file not found: " + path);
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

FileDates FileSystem::GetFileDates(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
        throw std::runtime_error("file not found: " + path);
    // Windows keeps a real creation date; no stand-in is needed.
    return FileDates{FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastWriteTime),
                     FromFileTime(data.ftLastAccessTime)};
}

std::vector<std::string> FileSystem::FolderFiles(const std::string& path) const {
    std::vector<std::string> files;
    std::error_code ec;
    fs::directory_iterator it(PathFromUtf8(path), ec);
    if (ec)
        return files;
    for (const auto& entry : it) {
        std::error_code typeEc;
        if (!entry.is_directory(typeEc) && entry.exists(typeEc))
            files.push_back(PathToUtf8(entry.path()));
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
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileSystem::GetParentFolderName(const std::string& path) const {
    const std::string p = WithoutTrailingSeparators(path);
    const std::size_t root = RootLength(p);
    if (p.size() == root)
        return std::string();
    std::size_t slash = std::string::npos;
    for (std::size_t i = root; i < p.size(); ++i) {
        if (IsSeparator(p[i]))
            slash = i;
    }
    if (slash == std::string::npos)
        return root > 0 ? p.substr(0, root) : std::string();
    return WithoutTrailingSeparators(p.substr(0, slash));
}

std::string FileSystem::GetTempFolder() const {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH)
        return "C:\\Windows\\Temp";
    return WithoutTrailingSeparators(Narrow(std::wstring_view(buffer, length)));
}

std::string FileSystem::GetTempName() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::random_device device;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string name = "rad";
    for (int i = 0; i < 5; ++i)
        name += kHex[digit(device)];
    return name + ".tmp";
}

bool FileSystem::DeleteFile(const std::string& path) const {
    return FileExists(path) && DeleteFileW(Widen(path).c_str()) != 0;
}

bool FileSystem::CreateFolder(const std::string& path) const {
    return !path.empty() && CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}

std::string FileSystem::ProgramFolder() const {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            std::error_code ec;
            return PathToUtf8(fs::current_path(ec));
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return PathToUtf8(fs::path(buffer).parent_path());
}

} // namespace platform
