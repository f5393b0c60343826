#include "config/append_only_file.h"

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
    // One lstat per append: a file deleted or moved away must not keep
    // swallowing what follows.
    struct stat named {};
    if (!file || file->path != path || ::lstat(file->path.c_str(), &named) != 0 ||
        named.st_dev != file->device || named.st_ino != file->inode) {
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

std::shared_ptr<const AppendOnlyFile::OpenFile> AppendOnlyFile::Current() const {
    const std::lock_guard lock(m_mutex);
    return m_current;
}

AppendOnlyFile::Outcome AppendOnlyFile::Open(std::string_view path,
                                             std::shared_ptr<const OpenFile>& file) {
    OpenFile opened;
    opened.path = path;
    opened.fd.Reset(
        ::open(opened.path.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
               kPrivateFileMode));
    if (!opened.fd)
        return errno == ENOENT ? Outcome::MissingFolder : Outcome::Failed;
    struct stat st {};
    if (::fstat(opened.fd.Get(), &st) != 0)
        return Outcome::Failed;
    opened.device = st.st_dev;
    opened.inode = st.st_ino;
    file = std::make_shared<const OpenFile>(std::move(opened));
    // Threads that still hold the previous file finish their writes to it;
    // it is closed when the last of them lets go.
    const std::lock_guard lock(m_mutex);
    m_current = file;
    return Outcome::Written;
}

} // namespace Velto::Corvane
