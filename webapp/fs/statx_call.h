#pragma once

#include "base/clock.h"

#include <cstdint>

namespace Velto::Corvane {

// The part of statx(2) the file-system layer uses.
struct RawStat {
    std::uint32_t mode{0};
    std::uint64_t size{0};
    FileTime lastWriteTime{0};
    std::uint64_t mountId{0};
    // Device and inode number; 0 for an inode number the system did not give.
    std::uint64_t device{0};
    std::uint64_t inode{0};
    std::uint32_t owner{0}; // user id
};

// statx of `name` relative to `dirFd` ("" with AT_EMPTY_PATH stats `dirFd`
// itself). Never triggers an automount and never waits to synchronise remote
// attributes. Returns 0 or the errno value.
int StatAt(int dirFd, const char* name, bool followLinks, RawStat& out);
int StatFd(int fd, RawStat& out);

bool IsRegularOrDirectory(std::uint32_t mode);

} // namespace Velto::Corvane
