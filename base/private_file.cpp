#include "base/private_file.h"

#include "base/file_util.h"
#include "base/system_random.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Velto {
namespace {

constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateDirMode = 0700;
constexpr std::size_t kTempSuffixBytes = 4;

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

Result WritePrivateTemporary(const std::string& path, std::string_view bytes, std::string& temp) {
    temp.clear();
    if (path.empty())
        return kInvalidArg;
    const std::string suffix = RandomHex(kTempSuffixBytes);
    if (suffix.empty())
        return kFail;
    const std::string name = path + ".tmp-" + suffix;
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       kPrivateFileMode));
    if (!fd)
        return ResultFromErrno(errno);
    // The umask may have taken bits away, never added any; make the mode exact.
    Result result = ::fchmod(fd.Get(), kPrivateFileMode) == 0 ? kOk : ResultFromErrno(errno);
    if (Succeeded(result))
        result = WriteAll(fd.Get(), bytes);
    if (Succeeded(result) && ::fsync(fd.Get()) != 0)
        result = ResultFromErrno(errno);
    if (Succeeded(result) && ::close(fd.Release()) != 0)
        result = ResultFromErrno(errno);
    if (Failed(result)) {
        fd.Reset();
        ::unlink(name.c_str());
        return result;
    }
    temp = name;
    return kOk;
}

Result ReplacePrivateFile(const std::string& path, std::string_view bytes) {
    std::string temp;
    const Result written = WritePrivateTemporary(path, bytes, temp);
    if (Failed(written))
        return written;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const Result result = ResultFromErrno(errno);
        ::unlink(temp.c_str());
        return result;
    }
    SyncDirectoryOf(path);
    return kOk;
}

bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return false;
    if (path.find('/') != std::string::npos) {
        const std::string folder = ParentPath(path);
        if (!folder.empty() && Failed(CreateDirectories(folder, kPrivateDirMode)))
            return false;
    }
    return Succeeded(ReplacePrivateFile(path, bytes));
}

} // namespace Velto
