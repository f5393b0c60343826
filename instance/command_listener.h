#pragma once

#include "base/unique_fd.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace Velto::Instance {

// Accepts command connections on a listening Unix socket on a thread of its
// own, reads each frame within a deadline, hands the decoded command on and
// answers when the handler has decided. Connections are served side by side
// from one poll loop, so a client that connects and sends nothing, or sends
// slowly, holds up nobody; peers that run as another user are dropped.
class CommandListener {
public:
    // Called once per handled command (or never: the reply deadline covers
    // a completion that is lost). Safe from any thread, also after the
    // listener is gone.
    using Completion = std::function<void(bool handled)>;
    // Runs on the listener thread for every accepted command; it must not
    // block, and calls the completion when the command was dealt with.
    using Dispatch = std::function<void(std::u16string command, Completion done)>;

    // How long a client has to send its whole frame, and how long a
    // dispatched command may take before it is answered with 0.
    static constexpr int kFrameReadMs = 2000;
    static constexpr int kHandlerReplyMs = 10000;
    // Connections served at once; more wait in the listen backlog.
    static constexpr std::size_t kMaxClients = 8;

    CommandListener(UniqueFd listening, Dispatch dispatch);
    ~CommandListener();
    CommandListener(const CommandListener&) = delete;
    CommandListener& operator=(const CommandListener&) = delete;

    bool IsRunning() const { return m_thread.joinable(); }

private:
    struct Completions;
    class Loop;

    std::shared_ptr<Completions> m_completions;
    std::unique_ptr<Loop> m_loop;
    std::thread m_thread;
};

} // namespace Velto::Instance
