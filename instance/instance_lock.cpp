#include "instance/instance_lock.h"

#include "base/interrupt_retry.h"

#include <fcntl.h>
#include <sys/file.h>

namespace Velto::Instance {

UniqueFd TryLockFile(const std::string& path) {
    constexpr mode_t kLockFileMode = 0600;
    UniqueFd fd(RetryOnInterrupt([&] {
        return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kLockFileMode);
    }));
    if (!fd)
        return {};
    if (RetryOnInterrupt([&] { return ::flock(fd.Get(), LOCK_EX | LOCK_NB); }) != 0)
        return {};
    return fd;
}

} // namespace Velto::Instance
