#include "config/private_file_writer.h"

#include "base/file_util.h"
#include "base/unique_fd.h"
#include "config/system_random.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velto::Corvane {
namespace {

constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;
constexpr std::size_t kTempSuffixBytes = 4;

} // namespace

bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return false;
    if (path.find('/') != std::string::npos) {
        const std::string folder = ParentPath(path);
        if (!folder.empty() && Failed(CreateDirectories(folder, kPrivateFolderMode)))
            return false;
    }
    const std::string suffix = RandomHex(kTempSuffixBytes);
    if (suffix.empty())
        return false;
    const std::string temp = path + ".tmp-" + suffix;
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       kPrivateFileMode));
    if (!fd)
        return false;
    // The umask may have taken bits away, never added any; make the mode exact.
    const bool written = ::fchmod(fd.Get(), kPrivateFileMode) == 0 &&
                         Succeeded(WriteAll(fd.Get(), bytes)) && ::fsync(fd.Get()) == 0 &&
                         ::close(fd.Release()) == 0 && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!written) {
        fd.Reset();
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectoryOf(path);
    return true;
}

} // namespace Velto::Corvane
