#include "batch/modTimeStamp.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <exception>
#include <windows.h>

namespace batch {
namespace {

// A date as UTC file time, through the local calendar record as the dates were read (whole seconds).
bool ToFileTime(platform::FileTime time, FILETIME& result) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    if (localtime_s(&local, &seconds) != 0) {
        return false;
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.tm_year + 1900);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    st.wMilliseconds = 0;
    FILETIME localTime{};
    return SystemTimeToFileTime(&st, &localTime) && LocalFileTimeToFileTime(&localTime, &result);
}

HANDLE OpenForDates(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
    }
    return w;
}

enum class Slot { Created, Accessed, Modified };

void SetDate(const std::string& target, platform::FileTime time, Slot slot) {
    FILETIME ft{};
    if (!ToFileTime(time, ft)) {
        return;
    }
    const HANDLE handle = OpenForDates(Wide(target));
    if (handle == INVALID_HANDLE_VALUE) {
        return;
    }
    SetFileTime(handle, slot == Slot::Created ? &ft : nullptr, slot == Slot::Accessed ? &ft : nullptr,
                slot == Slot::Modified ? &ft : nullptr);
    CloseHandle(handle);
}

} // namespace

void CopyFileDates(const std::string& source, const std::string& target) {
    if (target.empty()) {
        return;
    }
    try {
        const platform::FileDates dates = platform::gFSO.GetFileDates(source);
        SetDate(target, dates.created, Slot::Created);
        SetDate(target, dates.modified, Slot::Modified);
        SetDate(target, dates.accessed, Slot::Accessed);
    } catch (const std::exception&) {
    }
}

} // namespace batch
