#pragma once

#include "webapp/fs/fd_or_errno.h"

#include <optional>
#include <string>

namespace Velto::Corvane {

// The path the kernel reports for an open descriptor (/proc/thread-self/fd/N), as raw
// bytes. None when it cannot be read or is longer than PATH_MAX.
std::optional<std::string> FinalPathOfFd(int fd);

// Opens the object behind `fd` (typically an O_PATH descriptor) again with
// `flags` (O_CLOEXEC added), through /proc, so the new descriptor is
// the very same inode and no path is looked up a second time.
FdOrErrno ReopenFd(int fd, int flags);

} // namespace Velto::Corvane
