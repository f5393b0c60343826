#include "webapp/fs/openat2_call.h"

#include "base/interrupt_retry.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {
constexpr int kMaxTransientRetries = 8;
} // namespace

FdOrErrno OpenAt2(int dirFd, const char* path, std::uint64_t flags, std::uint64_t resolve) {
    open_how how{};
    how.flags = flags | O_CLOEXEC;
    how.resolve = resolve;
    for (int attempt = 0;; ++attempt) {
        const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
        if (fd >= 0)
            return {UniqueFd(static_cast<int>(fd)), 0};
        const int err = errno;
        if ((err == EINTR || err == EAGAIN) && attempt < kMaxTransientRetries)
            continue;
        return {UniqueFd(), err};
    }
}

FdOrErrno OpenAt(int dirFd, const char* path, int flags) {
    const int fd = RetryOnInterrupt([&] { return ::openat(dirFd, path, flags | O_CLOEXEC); });
    if (fd >= 0)
        return {UniqueFd(fd), 0};
    return {UniqueFd(), errno};
}

} // namespace Velto::Corvane
