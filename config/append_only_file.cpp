#include "config/append_only_file.h"

#include "base/clock.h"
#include "base/interrupt_retry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Velto::Corvane {
namespace {

constexpr mode_t kPrivateFileMode = 0600;

} // namespace

AppendOnlyFile::Outcome AppendOnlyFile::Append(std::string_view path, std::string_view bytes) {
    std::shared_ptr<const OpenFile> file = Current();
    if (!file || file->path != path || !StillNamed(*file)) {
        const Outcome opened = Open(path, file);
        if (opened != Outcome::Written)
            return opened;
    }
    // One write keeps concurrent appends whole; it is not retried, so a
    // partial write never turns into a line broken in two places.
    const ssize_t written =
        RetryOnInterrupt([&] { return ::write(file->fd.Get(), bytes.data(), bytes.size()); });
    return written == static_cast<ssize_t>(bytes.size()) ? Outcome::Written : Outcome::Failed;
}

// A file deleted or moved away must not keep swallowing what follows.
bool AppendOnlyFile::StillNamed(const OpenFile& file) {
    struct stat open {};
    if (::fstat(file.fd.Get(), &open) != 0 || open.st_nlink == 0)
        return false;
    const std::uint64_t now = TickCount64();
    std::uint64_t due = file.nextPathCheck.load(std::memory_order_relaxed);
    // One thread looks the path up when it is due; the others go on.
    if (now < due || !file.nextPathCheck.compare_exchange_strong(
                         due, now + static_cast<std::uint64_t>(kPathCheckInterval.count()),
                         std::memory_order_relaxed))
        return true;
    struct stat named {};
    return ::lstat(file.path.c_str(), &named) == 0 && named.st_dev == file.device &&
           named.st_ino == file.inode;
}

std::shared_ptr<const AppendOnlyFile::OpenFile> AppendOnlyFile::Current() const {
    const std::lock_guard lock(m_mutex);
    return m_current;
}

AppendOnlyFile::Outcome AppendOnlyFile::Open(std::string_view path,
                                             std::shared_ptr<const OpenFile>& file) {
    auto opened = std::make_shared<OpenFile>();
    opened->path = path;
    opened->fd.Reset(
        ::open(opened->path.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
               kPrivateFileMode));
    if (!opened->fd)
        return errno == ENOENT ? Outcome::MissingFolder : Outcome::Failed;
    struct stat st {};
    if (::fstat(opened->fd.Get(), &st) != 0)
        return Outcome::Failed;
    opened->device = st.st_dev;
    opened->inode = st.st_ino;
    opened->nextPathCheck.store(TickCount64() +
                                static_cast<std::uint64_t>(kPathCheckInterval.count()));
    file = std::move(opened);
    // Threads that still hold the previous file finish their writes to it;
    // it is closed when the last of them lets go.
    const std::lock_guard lock(m_mutex);
    m_current = file;
    return Outcome::Written;
}

} // namespace Velto::Corvane
