#include "instance/single_instance.h"

#include "instance/command_frame.h"
#include "instance/command_listener.h"
#include "instance/instance_lock.h"
#include "instance/local_socket.h"
#include "instance/runtime_folder.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace Velto::Instance {
namespace {

constexpr std::string_view kLockSuffix = ".lock";
constexpr std::string_view kSocketSuffix = ".sock";

} // namespace

bool SingleInstance::HandlerSlot::Run(const std::u16string& command) {
    CommandHandler current;
    {
        const std::lock_guard lock(mutex);
        current = handler;
    }
    // Run outside the lock: the handler may replace itself.
    return current && current(command);
}

SingleInstance::SingleInstance(std::string name, TaskPoster poster)
    : m_name(std::move(name)), m_poster(std::move(poster)) {
    const std::optional<std::string> folder = UserRuntimeFolder();
    if (!folder)
        return;
    const std::string stem = RuntimeFileStem(
        m_name, *folder, std::max(kLockSuffix.size(), kSocketSuffix.size()), MaxLocalSocketPath());
    m_lockPath = *folder + "/" + stem + std::string(kLockSuffix);
    m_socketPath = *folder + "/" + stem + std::string(kSocketSuffix);

    // Without the lock this copy is secondary and holds nothing.
    m_lock = TryLockFile(m_lockPath);
    if (!m_lock)
        return;
    m_isPrimary = true;

    std::weak_ptr<HandlerSlot> weak = m_slot;
    CommandListener::Dispatch dispatch;
    if (m_poster) {
        dispatch = [weak, poster = m_poster](std::u16string command,
                                             CommandListener::Completion done) {
            poster([weak, command = std::move(command), done = std::move(done)] {
                const std::shared_ptr<HandlerSlot> slot = weak.lock();
                done(slot && slot->Run(command));
            });
        };
    } else {
        dispatch = [weak](std::u16string command, CommandListener::Completion done) {
            const std::shared_ptr<HandlerSlot> slot = weak.lock();
            done(slot && slot->Run(command));
        };
    }
    m_listener = std::make_unique<CommandListener>(ListenLocal(m_socketPath), std::move(dispatch));
}

SingleInstance::~SingleInstance() {
    m_listener.reset();
    {
        const std::lock_guard lock(m_slot->mutex);
        m_slot->handler = nullptr;
    }
    // Only the primary, still holding the lock, owns the socket file.
    if (m_isPrimary)
        ::unlink(m_socketPath.c_str());
}

void SingleInstance::SetOnCommand(std::function<void(const std::u16string&)> handler) {
    CommandHandler wrapped;
    if (handler) {
        wrapped = [handler = std::move(handler)](const std::u16string& command) {
            handler(command);
            return true;
        };
    }
    const std::lock_guard lock(m_slot->mutex);
    m_slot->handler = std::move(wrapped);
}

bool SingleInstance::Send(std::u16string_view command, int timeoutMs) const {
    if (m_socketPath.empty() || timeoutMs <= 0)
        return false;
    // The primary refuses longer commands; do not send what it cannot take.
    if ((command.size() + 1) * 2 > kMaxCommandBytes)
        return false;
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const UniqueFd fd = ConnectLocal(m_socketPath, deadline);
    if (!fd || !PeerIsSameUser(fd.Get()))
        return false;
    const std::string frame = EncodeCommand(command);
    if (!SendAll(fd.Get(), std::as_bytes(std::span(frame)), deadline))
        return false;
    std::uint32_t reply = 0;
    if (!ReceiveExact(fd.Get(), std::as_writable_bytes(std::span(&reply, 1)), deadline))
        return false;
    return reply != 0;
}

} // namespace Velto::Instance
