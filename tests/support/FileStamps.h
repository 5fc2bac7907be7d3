#pragma once

// A file's access and modification dates with their fractions of seconds, read and set with the
// system's own calls (paths are UTF-8).

#include <cstdint>
#include <optional>
#include <string>

#ifdef _WIN32
#include "platform/WideText.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace testsupport {

// Seconds since 1970 and the fraction in nanoseconds.
struct Stamp {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
};

struct Dates {
    Stamp accessed;
    Stamp modified;
};

#ifdef _WIN32
// A FILETIME counts 100 ns from 1601, 11644473600 s before 1970.
constexpr std::int64_t kEpochGap = 11644473600;

inline FILETIME ToFileTime(Stamp s) {
    const auto ticks = static_cast<ULONGLONG>((s.seconds + kEpochGap) * 10000000 + s.nanoseconds / 100);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline Stamp FromFileTime(FILETIME f) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    return Stamp{static_cast<std::int64_t>(ticks / 10000000) - kEpochGap,
                 static_cast<std::int64_t>(ticks % 10000000) * 100};
}

inline bool SetDates(const std::string& path, const Dates& dates) {
    const HANDLE file = CreateFileW(platform::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const FILETIME accessed = ToFileTime(dates.accessed), modified = ToFileTime(dates.modified);
    const bool set = SetFileTime(file, nullptr, &accessed, &modified);
    CloseHandle(file);
    return set;
}

inline std::optional<Dates> GetDates(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(platform::Widen(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return Dates{FromFileTime(data.ftLastAccessTime), FromFileTime(data.ftLastWriteTime)};
}
#else
inline bool SetDates(const std::string& path, const Dates& dates) {
    const struct timespec times[2] = {{dates.accessed.seconds, dates.accessed.nanoseconds},
                                      {dates.modified.seconds, dates.modified.nanoseconds}};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

inline std::optional<Dates> GetDates(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return Dates{{st.st_atim.tv_sec, st.st_atim.tv_nsec}, {st.st_mtim.tv_sec, st.st_mtim.tv_nsec}};
}
#endif

} // namespace testsupport
