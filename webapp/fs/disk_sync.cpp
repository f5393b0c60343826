#include "webapp/fs/disk_sync.h"

#include "base/interrupt_retry.h"
#include "base/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Velto::Corvane {

int SyncFileData(int fd) {
    return RetryOnInterrupt([&] { return ::fdatasync(fd); }) == 0 ? 0 : errno;
}

void StartWriteback(int fd, std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                      SYNC_FILE_RANGE_WRITE);
}

int SyncFolder(int dirFd) {
    // An O_PATH descriptor cannot be synced itself; "." relative to it opens
    // the same folder for reading without looking up its path again.
    const UniqueFd folder(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return errno;
    if (RetryOnInterrupt([&] { return ::fsync(folder.Get()); }) == 0)
        return 0;
    // File systems that keep no folder data on a disk of their own report
    // EINVAL: there is nothing to flush.
    return errno == EINVAL ? 0 : errno;
}

} // namespace Velto::Corvane
