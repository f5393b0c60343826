#include "instance/command_listener.h"

#include "instance/command_frame.h"
#include "instance/local_socket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

namespace Velto::Instance {

// Results of dispatched commands, handed back to the loop. Completions hold
// it weakly, so one that arrives after the listener is gone does nothing.
struct CommandListener::Completions {
    UniqueFd wake{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::mutex mutex;
    // Guarded by `mutex`: (serial, handled) pairs not yet taken by the loop.
    std::vector<std::pair<std::uint64_t, bool>> done;
    // Guarded by `mutex`: set when the loop is to end.
    bool stop{false};

    void Wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake.Get(), &one, sizeof(one));
    }
};

class CommandListener::Loop {
public:
    Loop(UniqueFd listening, Dispatch dispatch, std::shared_ptr<Completions> completions)
        : m_listening(std::move(listening)), m_dispatch(std::move(dispatch)),
          m_completions(std::move(completions)) {}

    void Run();

private:
    enum class Stage { Header, Body, Waiting, Replying };
    struct Client {
        UniqueFd fd;
        Stage stage{Stage::Header};
        std::array<std::byte, kCommandHeaderBytes> header{};
        CommandHeader parsed;
        std::vector<std::byte> body;
        std::size_t received{0};
        std::uint32_t reply{0};
        std::size_t replied{0};
        std::uint64_t serial{0};
        Deadline deadline;
    };

    void Accept();
    // False when the client is finished with and can be dropped.
    bool Read(Client& client);
    bool Write(Client& client);
    void StartReply(Client& client, bool handled);
    void TakeCompletions();
    void Dispatch(Client& client, std::u16string command);

    UniqueFd m_listening;
    CommandListener::Dispatch m_dispatch;
    std::shared_ptr<Completions> m_completions;
    std::vector<Client> m_clients;
    std::uint64_t m_nextSerial{1};
};

namespace {

Deadline After(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

} // namespace

void CommandListener::Loop::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        bool stopping = false;
        {
            const std::lock_guard lock(m_completions->mutex);
            stopping = m_completions->stop;
        }
        if (stopping) {
            // A command handled just before the end (a "quit") is still
            // answered: its sender waits for that reply.
            TakeCompletions();
            for (Client& client : m_clients) {
                if (client.stage == Stage::Replying)
                    Write(client);
            }
            return;
        }
        fds.clear();
        fds.push_back({m_completions->wake.Get(), POLLIN, 0});
        const bool accepting = m_clients.size() < kMaxClients;
        fds.push_back({accepting ? m_listening.Get() : -1, POLLIN, 0});
        auto nearest = Deadline::max();
        for (const Client& client : m_clients) {
            short events = 0;
            if (client.stage == Stage::Header || client.stage == Stage::Body)
                events = POLLIN;
            else if (client.stage == Stage::Replying)
                events = POLLOUT;
            // A client waiting for its handler is not polled: its hang-up
            // would wake the loop over and over.
            fds.push_back({events != 0 ? client.fd.Get() : -1, events, 0});
            nearest = std::min(nearest, client.deadline);
        }
        int timeout = -1;
        if (nearest != Deadline::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                nearest - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<std::int64_t>(left.count() + 1, 0));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return;

        if (fds[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n =
                ::read(m_completions->wake.Get(), &count, sizeof(count));
            TakeCompletions();
        }
        // Clients are served before new ones are accepted, so the indexes of
        // `fds` still match `m_clients`.
        const auto now = std::chrono::steady_clock::now();
        std::vector<Client> kept;
        kept.reserve(m_clients.size());
        for (std::size_t i = 0; i < m_clients.size(); ++i) {
            Client& client = m_clients[i];
            const short revents = fds[i + 2].revents;
            bool keep = true;
            if (revents != 0 && (client.stage == Stage::Header || client.stage == Stage::Body))
                keep = Read(client);
            else if (revents != 0 && client.stage == Stage::Replying)
                keep = Write(client);
            if (keep && client.deadline <= now) {
                // A handler that did not answer in time is answered 0; a
                // client that does not send or read in time is dropped.
                if (client.stage == Stage::Waiting) {
                    StartReply(client, false);
                    keep = Write(client);
                } else {
                    keep = false;
                }
            }
            if (keep)
                kept.push_back(std::move(client));
        }
        m_clients = std::move(kept);
        if (accepting && fds[1].revents != 0)
            Accept();
    }
}

void CommandListener::Loop::Accept() {
    while (m_clients.size() < kMaxClients) {
        UniqueFd fd(::accept4(m_listening.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (!PeerIsSameUser(fd.Get()))
            continue;
        Client client;
        client.fd = std::move(fd);
        client.deadline = After(kFrameReadMs);
        m_clients.push_back(std::move(client));
    }
}

bool CommandListener::Loop::Read(Client& client) {
    for (;;) {
        std::byte* target = nullptr;
        std::size_t wanted = 0;
        if (client.stage == Stage::Header) {
            target = client.header.data() + client.received;
            wanted = client.header.size() - client.received;
        } else {
            target = client.body.data() + client.received;
            wanted = client.body.size() - client.received;
        }
        const ssize_t n = ::recv(client.fd.Get(), target, wanted, 0);
        if (n == 0)
            return false;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        client.received += static_cast<std::size_t>(n);
        if (client.received <
            (client.stage == Stage::Header ? client.header.size() : client.body.size()))
            continue;

        if (client.stage == Stage::Header) {
            std::memcpy(&client.parsed.tag, client.header.data(), 4);
            std::memcpy(&client.parsed.length, client.header.data() + 4, 4);
            if (!IsAcceptableHeader(client.parsed)) {
                StartReply(client, false);
                return Write(client);
            }
            client.stage = Stage::Body;
            client.body.assign(client.parsed.length, std::byte{0});
            client.received = 0;
            continue;
        }
        std::optional<std::u16string> command = DecodeCommand(client.parsed, client.body);
        client.body = {};
        if (!command) {
            StartReply(client, false);
            return Write(client);
        }
        Dispatch(client, std::move(*command));
        return true;
    }
}

void CommandListener::Loop::Dispatch(Client& client, std::u16string command) {
    client.stage = Stage::Waiting;
    client.serial = m_nextSerial++;
    client.deadline = After(kHandlerReplyMs);
    std::weak_ptr<Completions> weak = m_completions;
    const std::uint64_t serial = client.serial;
    m_dispatch(std::move(command), [weak, serial](bool handled) {
        const std::shared_ptr<Completions> completions = weak.lock();
        if (!completions)
            return;
        const std::lock_guard lock(completions->mutex);
        completions->done.emplace_back(serial, handled);
        completions->Wake();
    });
}

void CommandListener::Loop::TakeCompletions() {
    std::vector<std::pair<std::uint64_t, bool>> done;
    {
        const std::lock_guard lock(m_completions->mutex);
        done.swap(m_completions->done);
    }
    for (const auto& [serial, handled] : done) {
        for (Client& client : m_clients) {
            if (client.stage == Stage::Waiting && client.serial == serial) {
                StartReply(client, handled);
                break;
            }
        }
    }
}

void CommandListener::Loop::StartReply(Client& client, bool handled) {
    client.stage = Stage::Replying;
    client.reply = handled ? 1 : 0;
    client.replied = 0;
    client.deadline = After(kFrameReadMs);
}

bool CommandListener::Loop::Write(Client& client) {
    const auto* bytes = reinterpret_cast<const std::byte*>(&client.reply);
    while (client.replied < kCommandReplyBytes) {
        const ssize_t n = ::send(client.fd.Get(), bytes + client.replied,
                                 kCommandReplyBytes - client.replied, MSG_NOSIGNAL);
        if (n > 0) {
            client.replied += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    // Answered: the connection is done with.
    return false;
}

CommandListener::CommandListener(UniqueFd listening, Dispatch dispatch)
    : m_completions(std::make_shared<Completions>()) {
    if (!listening || !m_completions->wake)
        return;
    m_loop = std::make_unique<Loop>(std::move(listening), std::move(dispatch), m_completions);
    m_thread = std::thread([loop = m_loop.get()] { loop->Run(); });
}

CommandListener::~CommandListener() {
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_completions->mutex);
        m_completions->stop = true;
        m_completions->Wake();
    }
    m_thread.join();
}

} // namespace Velto::Instance
