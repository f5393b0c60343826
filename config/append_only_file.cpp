#include "config/append_only_file.h"

#include "base/interrupt_retry.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace Velto::Corvane {
namespace {

constexpr mode_t kPrivateFileMode = 0600;

} // namespace

bool AppendToFile(const std::string& path, std::string_view bytes) {
    UniqueFd fd(
        ::open(path.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
               kPrivateFileMode));
    if (!fd)
        return false;
    // One write keeps concurrent writers' lines whole; it is not retried, so a
    // partial write never turns into a line broken in two places.
    const ssize_t written =
        RetryOnInterrupt([&] { return ::write(fd.Get(), bytes.data(), bytes.size()); });
    return written == static_cast<ssize_t>(bytes.size());
}

} // namespace Velto::Corvane
