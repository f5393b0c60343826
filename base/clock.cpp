#include "base/clock.h"

namespace Velto {

namespace {
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;
} // namespace

std::uint64_t TickCount64() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0)
        return 0;
    return static_cast<FileTime>(since1601) * kTicksPerSecond +
           static_cast<FileTime>(nanoseconds / 100);
}

FileTime FileTimeFromTimespec(const timespec& ts) {
    return FileTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

FileTime NowFileTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FileTimeFromTimespec(ts);
}

std::int64_t UnixSecondsFromFileTime(FileTime ft) {
    return static_cast<std::int64_t>(ft / kTicksPerSecond) - kSecondsFrom1601To1970;
}

} // namespace Velto
