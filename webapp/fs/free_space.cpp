#include "webapp/fs/free_space.h"

#include <sys/statvfs.h>

#include <limits>

namespace Velto::Corvane {

std::uint64_t FreeBytesAvailable(int fd) {
    struct statvfs info {};
    if (::fstatvfs(fd, &info) != 0)
        return 0;
    const std::uint64_t blocks = info.f_bavail;
    const std::uint64_t blockSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    if (blockSize != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / blockSize)
        return std::numeric_limits<std::uint64_t>::max();
    return blocks * blockSize;
}

bool IsOnReadOnlyMount(int fd) {
    struct statvfs info {};
    return ::fstatvfs(fd, &info) != 0 || (info.f_flag & ST_RDONLY) != 0;
}

} // namespace Velto::Corvane
