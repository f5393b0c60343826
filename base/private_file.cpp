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
constexpr std::size_t kTempSuffixBytes = 4;

} // namespace

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

} // namespace Velto
