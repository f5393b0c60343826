#pragma once

#include <cstdint>
#include <ctime>

namespace Velto {

// Milliseconds on a clock that keeps counting through suspend (CLOCK_BOOTTIME).
std::uint64_t TickCount64();

// 100-nanosecond intervals since 1601-01-01 UTC; times before 1601 give 0.
using FileTime = std::uint64_t;

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
FileTime FileTimeFromTimespec(const timespec& ts);
FileTime NowFileTime();

// Seconds since the Unix epoch for a FILETIME (whole seconds, rounded down).
std::int64_t UnixSecondsFromFileTime(FileTime ft);

} // namespace Velto
