#include "webapp/fs/modified_time.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace Velto::Corvane {

namespace {

constexpr std::uint64_t kFileTimePerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600; // 1601 to 1970

void ToTimes(FileTime time, timespec (&times)[2]) {
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<std::int64_t>(time / kFileTimePerSecond) - kUnixEpochSeconds;
    times[1].tv_nsec = static_cast<long>((time % kFileTimePerSecond) * 100);
}

} // namespace

int SetModifiedTime(int fd, FileTime time) {
    timespec times[2];
    ToTimes(time, times);
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

int SetModifiedTimeAt(int dirFd, const std::string& name, FileTime time) {
    timespec times[2];
    ToTimes(time, times);
    return ::utimensat(dirFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

} // namespace Velto::Corvane
