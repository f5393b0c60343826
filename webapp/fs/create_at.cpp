#include "webapp/fs/create_at.h"

#include "base/interrupt_retry.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {
constexpr mode_t kNewFileMode = 0666;
} // namespace

FdOrErrno CreateNewFileAt(int dirFd, const std::string& name) {
    const int fd = RetryOnInterrupt([&] {
        return ::openat(dirFd, name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                        kNewFileMode);
    });
    if (fd < 0)
        return {UniqueFd(), errno};
    return {UniqueFd(fd), 0};
}

int MakeFolderAt(int dirFd, const std::string& name, mode_t mode) {
    return ::mkdirat(dirFd, name.c_str(), mode) == 0 ? 0 : errno;
}

int RemoveFileAt(int dirFd, const std::string& name) {
    return ::unlinkat(dirFd, name.c_str(), 0) == 0 ? 0 : errno;
}

} // namespace Velto::Corvane
