#include "app/headless/console_stream.h"

#include "base/interrupt_retry.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace App {

ConsoleStream::ConsoleStream(int fd) : m_fd(fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    if (S_ISSOCK(st.st_mode)) {
        m_socket = true;
        return;
    }
    if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode))
        return;
    // Setting O_NONBLOCK on the inherited descriptor would change it for the
    // shell and every other process sharing the terminal; a fresh open of the
    // same pipe or terminal gives a description that is ours alone. When that
    // is refused, writes go to the inherited one after a wait for room.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    m_private.Reset(::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    m_waitForRoom = !m_private;
}

ConsoleStream::Status ConsoleStream::WriteSome(std::string_view& bytes) {
    while (!bytes.empty()) {
        if (m_waitForRoom) {
            pollfd entry{m_fd, POLLOUT, 0};
            if (Velto::RetryOnInterrupt([&] { return ::poll(&entry, 1, 0); }) <= 0)
                return Status::Stalled;
        }
        const ssize_t written = Velto::RetryOnInterrupt([&] {
            return m_socket ? ::send(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                            : ::write(Target(), bytes.data(), bytes.size());
        });
        if (written < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? Status::Stalled : Status::Broken;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return Status::Done;
}

void ConsoleStream::WaitWritable(int limitMs) const {
    pollfd entry{Target(), POLLOUT, 0};
    Velto::RetryOnInterrupt([&] { return ::poll(&entry, 1, limitMs); });
}

} // namespace App
