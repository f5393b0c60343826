#pragma once

#include "base/unique_fd.h"

#include <string_view>

namespace App {

// One standard stream (output or error) written without waiting: where the
// stream is a pipe or a terminal, the writes go through a description of our
// own opened non-blocking, so the stream's shared flags stay as the shell set
// them; a socket is written with MSG_DONTWAIT; a regular file as it is.
class ConsoleStream {
public:
    enum class Status {
        Done,    // every byte went out
        Stalled, // the reader does not take more now; the rest is left
        Broken,  // the stream is gone (closed reader, bad descriptor)
    };

    explicit ConsoleStream(int fd);

    // Writes as much of `bytes` as the stream takes now and removes it from
    // the front of `bytes`.
    Status WriteSome(std::string_view& bytes);
    // Waits until the stream can take bytes again, at most `limitMs`.
    void WaitWritable(int limitMs) const;

private:
    int Target() const { return m_private ? m_private.Get() : m_fd; }

    int m_fd;                  // the inherited stream, not owned
    Velto::UniqueFd m_private; // our own non-blocking description of it, if any
    bool m_socket{false};
    // A pipe or terminal written through the inherited, blocking description.
    bool m_waitForRoom{false};
};

} // namespace App
