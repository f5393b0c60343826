#include "base/file_util.h"

#include "base/interrupt_retry.h"
#include "base/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Velto {
namespace {

constexpr std::size_t kMaxIoPiece = std::size_t{1} << 30; // 1 GiB per read or write call
constexpr std::size_t kSmallGrowth = 65536;
constexpr std::size_t kSmallBufferLimit = 131072;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

Result LastError() {
    return ResultFromErrno(errno);
}

std::string_view WithoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

FileTime FromStatx(const statx_timestamp& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

} // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ParentPath(std::string_view path) {
    path = WithoutTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return path.size() > 1 ? std::string("/") : std::string();
    return std::string(WithoutTrailingSlashes(path.substr(0, slash)));
}

Result CreateDirectories(const std::string& rawPath, mode_t mode) {
    const std::string path(WithoutTrailingSlashes(rawPath));
    if (path.empty())
        return kInvalidArg;
    if (::mkdir(path.c_str(), mode) == 0)
        return kOk;
    int err = errno;
    if (err == ENOENT) {
        const std::string parent = ParentPath(path);
        if (parent.empty() || parent.size() >= path.size())
            return kPathNotFound;
        const Result r = CreateDirectories(parent, mode);
        if (Failed(r))
            return r;
        if (::mkdir(path.c_str(), mode) == 0)
            return kOk;
        err = errno;
    }
    // Another creator may have won the race; an existing folder is what we wanted.
    if ((err == EEXIST || err == EACCES || err == EPERM) && IsDirectory(path))
        return kOk;
    return ResultFromErrno(err);
}

Result ListDirectory(const std::string& path, std::vector<DirectoryItem>& out) {
    out.clear();
    UniqueFd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!dir)
        return errno == ENOTDIR || errno == ENOENT ? kPathNotFound : LastError();
    DIR* stream = ::fdopendir(dir.Get());
    if (!stream)
        return LastError();
    dir.Release(); // now owned by the stream
    Result result = kOk;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (!entry) {
            if (errno != 0)
                result = LastError();
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct statx sx {};
        if (::statx(::dirfd(stream), entry->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
            continue; // removed between the listing and the look-up
        DirectoryItem item;
        item.name.assign(name);
        item.isLink = S_ISLNK(sx.stx_mode);
        item.isDirectory = S_ISDIR(sx.stx_mode);
        if (item.isLink) {
            struct stat target {};
            item.isDirectory = ::fstatat(::dirfd(stream), entry->d_name, &target, 0) == 0 &&
                               S_ISDIR(target.st_mode);
        }
        item.size = sx.stx_size;
        item.lastAccessTime = FromStatx(sx.stx_atime);
        item.lastWriteTime = FromStatx(sx.stx_mtime);
        if (sx.stx_mask & STATX_BTIME)
            item.creationTime = FromStatx(sx.stx_btime);
        out.push_back(std::move(item));
    }
    ::closedir(stream);
    return result;
}

Result ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    // Non-blocking so that a FIFO put in place of the file can never hang us.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return LastError();
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return LastError();
    if (!S_ISREG(st.st_mode))
        return kAccessDenied;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return kFileTooLarge;
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    std::string buffer(capacity, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == buffer.size()) {
            const std::size_t growth =
                buffer.size() < kSmallBufferLimit ? kSmallGrowth : buffer.size() / 2;
            buffer.resize(buffer.size() + growth);
        }
        const std::size_t want = std::min(buffer.size() - used, kMaxIoPiece);
        const ssize_t got =
            RetryOnInterrupt([&] { return ::read(fd.Get(), buffer.data() + used, want); });
        if (got < 0)
            return LastError();
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
        if (used > maxBytes)
            return kFileTooLarge;
    }
    buffer.resize(used);
    out = std::move(buffer);
    return kOk;
}

Result ReadTextFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    const Result r = ReadWholeFile(path, out, maxBytes);
    if (Succeeded(r) && std::string_view(out).starts_with(kUtf8Bom))
        out.erase(0, kUtf8Bom.size());
    return r;
}

Result WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t piece = std::min(bytes.size(), kMaxIoPiece);
        const ssize_t written = RetryOnInterrupt([&] { return ::write(fd, bytes.data(), piece); });
        if (written < 0)
            return LastError();
        if (written == 0)
            return kWriteFault;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return kOk;
}

Result RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0)
        return kOk;
    return errno == ENOENT ? kFileNotFound : LastError();
}

Result SyncDirectoryOf(const std::string& path) {
    const std::string dir = ParentPath(path);
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return LastError();
    return ::fsync(fd.Get()) == 0 ? kOk : LastError();
}

} // namespace Velto
