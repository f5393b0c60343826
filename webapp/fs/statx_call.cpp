#include "webapp/fs/statx_call.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace Velto::Corvane {

namespace {

constexpr unsigned kStatMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_MNT_ID | STATX_INO | STATX_UID;

int StatWithFlags(int dirFd, const char* name, int flags, RawStat& out) {
    struct statx sx {};
    if (::statx(dirFd, name, flags | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, kStatMask, &sx) != 0)
        return errno;
    out.mode = sx.stx_mode;
    out.size = sx.stx_size;
    out.lastWriteTime = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    out.mountId = (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : 0;
    out.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    out.inode = (sx.stx_mask & STATX_INO) != 0 ? sx.stx_ino : 0;
    out.owner = sx.stx_uid;
    return 0;
}

} // namespace

int StatAt(int dirFd, const char* name, bool followLinks, RawStat& out) {
    return StatWithFlags(dirFd, name, followLinks ? 0 : AT_SYMLINK_NOFOLLOW, out);
}

int StatFd(int fd, RawStat& out) {
    return StatWithFlags(fd, "", AT_EMPTY_PATH, out);
}

bool IsRegularOrDirectory(std::uint32_t mode) {
    return S_ISREG(mode) || S_ISDIR(mode);
}

} // namespace Velto::Corvane
