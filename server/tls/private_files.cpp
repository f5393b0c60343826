#include "server/tls/private_files.h"

#include "base/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Velto::Net {
namespace {

constexpr mode_t kPrivateDirMode = 0700;

} // namespace

Result MakePrivateDirectory(const std::filesystem::path& dir) {
    if (dir.empty())
        return kInvalidArg;
    if (::mkdir(dir.c_str(), kPrivateDirMode) == 0)
        return kOk;
    if (errno == ENOENT && dir.has_parent_path() && dir.parent_path() != dir) {
        const Result parent = MakePrivateDirectory(dir.parent_path());
        if (Failed(parent))
            return parent;
        if (::mkdir(dir.c_str(), kPrivateDirMode) == 0 || errno == EEXIST)
            return kOk;
        return ResultFromErrno(errno);
    }
    if (errno != EEXIST)
        return ResultFromErrno(errno);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0)
        return ResultFromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return ResultFromErrno(ENOTDIR);
    if ((st.st_mode & 07777) != kPrivateDirMode && st.st_uid == ::geteuid())
        ::chmod(dir.c_str(), kPrivateDirMode);
    return kOk;
}

std::optional<std::string> ReadFileCapped(const std::filesystem::path& path, std::size_t maxBytes,
                                          Result& error) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        error = ResultFromErrno(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = ResultFromErrno(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        error = kFail;
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = ResultFromErrno(errno);
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    error = kOk;
    return bytes;
}

Result RemoveFile(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) == 0)
        return kOk;
    return errno == ENOENT ? kFileNotFound : ResultFromErrno(errno);
}

} // namespace Velto::Net
