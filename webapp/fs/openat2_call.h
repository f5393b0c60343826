#pragma once

#include "webapp/fs/fd_or_errno.h"

#include <cstdint>

namespace Velto::Corvane {

// openat2(2) relative to `dirFd` with `flags` (O_CLOEXEC is always added) and
// the RESOLVE_* bits in `resolve`. Interruptions and the transient EAGAIN the
// kernel reports when a rename races a ".." lookup are retried a few times.
// ENOSYS means the kernel has no openat2.
FdOrErrno OpenAt2(int dirFd, const char* path, std::uint64_t flags, std::uint64_t resolve);

// Plain openat(2) with O_CLOEXEC added, for kernels without openat2.
FdOrErrno OpenAt(int dirFd, const char* path, int flags);

} // namespace Velto::Corvane
