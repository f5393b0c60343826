#include "webapp/uploads/partial_file.h"

#include "base/interrupt_retry.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velto::Corvane {

FdOrErrno OpenPartialFileAt(int dirFd, const std::string& name) {
    const int fd = RetryOnInterrupt([&] {
        return ::openat(dirFd, name.c_str(),
                        O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    });
    if (fd < 0)
        return {UniqueFd(), errno};
    UniqueFd file(fd);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return {UniqueFd(), errno};
    if (!S_ISREG(info.st_mode))
        return {UniqueFd(), EINVAL};
    return {std::move(file), 0};
}

std::optional<std::uint64_t> PartialFileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

int SetPartialFileEnd(int fd, std::uint64_t offset) {
    const auto position = static_cast<off_t>(offset);
    if (RetryOnInterrupt([&] { return ::ftruncate(fd, position); }) != 0)
        return errno;
    if (::lseek(fd, position, SEEK_SET) < 0)
        return errno;
    return 0;
}

FdOrErrno OpenFolderPath(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {UniqueFd(), errno};
    return {UniqueFd(fd), 0};
}

} // namespace Velto::Corvane
