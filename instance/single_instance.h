#pragma once

#include "base/unique_fd.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace Velto::Instance {

class CommandListener;

// Hands a task to the thread that owns the program's objects (a desktop
// program passes its UI loop's Post): the listener thread never runs a
// command handler itself when a poster is given.
using Task = std::function<void()>;
using TaskPoster = std::function<void(Task)>;

// Lets one copy of the program run per user and name, and carries commands
// ("show", "quit", ...) from later copies to it. The first copy holds an
// exclusive lock on <runtime folder>/<name>.lock and listens on <name>.sock
// beside it; later copies find the lock taken and send through the socket.
// The lock, not the socket file, decides: a socket left by a copy that
// crashed is replaced by the next primary.
class SingleInstance {
public:
    // `poster` carries commands to the UI thread; without one (tests) the
    // handler runs on the listener thread.
    explicit SingleInstance(std::string name, TaskPoster poster = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool IsPrimary() const { return m_isPrimary; }
    const std::string& Name() const { return m_name; }

    // Every command from now on runs `handler` and is answered as handled.
    // Until this is called commands are answered with 0.
    void SetOnCommand(std::function<void(const std::u16string&)> handler);

    // Sends a command to the primary copy of this name and waits at most
    // `timeoutMs` for its answer. True when it was handled.
    bool Send(std::u16string_view command, int timeoutMs) const;

    // Where the lock and the socket live; empty when there is no usable
    // runtime folder.
    const std::string& LockPath() const { return m_lockPath; }
    const std::string& SocketPath() const { return m_socketPath; }

private:
    using CommandHandler = std::function<bool(const std::u16string&)>;

    // What the posted tasks share with this object; they hold it weakly.
    struct HandlerSlot {
        std::mutex mutex;
        // Guarded by `mutex`; empty until a handler is set.
        CommandHandler handler;

        bool Run(const std::u16string& command);
    };

    std::string m_name;
    std::string m_lockPath;
    std::string m_socketPath;
    TaskPoster m_poster;
    std::shared_ptr<HandlerSlot> m_slot{std::make_shared<HandlerSlot>()};
    UniqueFd m_lock;
    std::unique_ptr<CommandListener> m_listener;
    bool m_isPrimary{false};
};

} // namespace Velto::Instance
