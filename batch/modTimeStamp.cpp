#include "batch/modTimeStamp.h"

#include "platform/FileSystem.h"

#include <chrono>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>

namespace batch {
namespace {

timespec WholeSeconds(platform::FileTime time) {
    timespec ts{};
    ts.tv_sec =
        static_cast<time_t>(std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count());
    ts.tv_nsec = 0;
    return ts;
}

// Sets one of the two dates and leaves the other alone.
void SetOneDate(const std::string& target, platform::FileTime time, bool modification) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    times[modification ? 1 : 0] = WholeSeconds(time);
    (void)utimensat(AT_FDCWD, target.c_str(), times, 0);
}

} // namespace

void CopyFileDates(const std::string& source, const std::string& target) {
    if (target.empty()) {
        return;
    }
    try {
        const platform::FileDates dates = platform::gFSO.GetFileDates(source);
        if (!platform::gFSO.FileExists(target)) {
            return;
        }
        // The creation date cannot be set on Linux file systems (the birth time is kept by the kernel
        // alone), so only the modification and access dates are copied here.
        SetOneDate(target, dates.modified, true);
        SetOneDate(target, dates.accessed, false);
    } catch (const std::exception&) {
    }
}

} // namespace batch
