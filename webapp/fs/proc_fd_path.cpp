#include "webapp/fs/proc_fd_path.h"

#include "base/interrupt_retry.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kProcFdPathSize = 32;

// "/proc/thread-self/fd/N" in a fixed buffer. The calling thread's own view
// keeps working even after the process's first thread has ended, which
// /proc/self does not.
struct ProcFdName {
    char text[kProcFdPathSize];
    explicit ProcFdName(int fd) { std::snprintf(text, sizeof text, "/proc/thread-self/fd/%d", fd); }
};

} // namespace

std::optional<std::string> FinalPathOfFd(int fd) {
    if (fd < 0)
        return std::nullopt;
    const ProcFdName name(fd);
    // One byte more than PATH_MAX tells a path that fits from one that was cut.
    char path[PATH_MAX + 1];
    const ssize_t length = ::readlink(name.text, path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) > PATH_MAX)
        return std::nullopt;
    // Pipes, sockets and anonymous objects have no place in the tree, and a path
    // outside this process's root is reported as "(unreachable)/...".
    if (path[0] != '/')
        return std::nullopt;
    return std::string(path, static_cast<std::size_t>(length));
}

FdOrErrno ReopenFd(int fd, int flags) {
    const ProcFdName name(fd);
    const int reopened = RetryOnInterrupt([&] { return ::open(name.text, flags | O_CLOEXEC); });
    if (reopened >= 0)
        return {UniqueFd(reopened), 0};
    return {UniqueFd(), errno};
}

} // namespace Velto::Corvane
