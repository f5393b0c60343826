#include "tests/app/usage/collect_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace App::Testing {
namespace {

constexpr int kPollSliceMs = 50;
constexpr std::size_t kEndlessChunk = 65536;

// The Content-Length of a request head (0 when there is none).
std::size_t ContentLength(const std::string& head) {
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos)
        return 0;
    return static_cast<std::size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

CollectServer::CollectServer() {
    m_listen = Velto::UniqueFd{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!m_listen || ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listen.Get(), SOMAXCONN) != 0 ||
        ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        m_listen.Reset();
        return;
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread{[this] { AcceptLoop(); }};
}

CollectServer::~CollectServer() {
    {
        const std::lock_guard guard{m_lock};
        m_stopping = true;
        for (const int fd : m_connections)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_changed.notify_all();
    if (m_acceptor.joinable())
        m_acceptor.join();
    for (auto& server : m_servers)
        server.join();
}

std::string CollectServer::Endpoint() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void CollectServer::SetAnswer(Answer answer) {
    {
        const std::lock_guard guard{m_lock};
        m_answer = answer;
    }
    m_changed.notify_all();
}

bool CollectServer::WaitForRequests(std::size_t count, int limitMs) {
    std::unique_lock lock{m_lock};
    return m_changed.wait_for(lock, std::chrono::milliseconds(limitMs),
                              [&] { return m_requests.size() >= count; });
}

std::vector<CollectServer::Request> CollectServer::Requests() const {
    const std::lock_guard guard{m_lock};
    return m_requests;
}

void CollectServer::AcceptLoop() {
    while (true) {
        {
            const std::lock_guard guard{m_lock};
            if (m_stopping)
                return;
        }
        pollfd waiting{m_listen.Get(), POLLIN, 0};
        if (::poll(&waiting, 1, kPollSliceMs) <= 0)
            continue;
        const int fd = ::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const std::lock_guard guard{m_lock};
        if (m_stopping) {
            ::close(fd);
            return;
        }
        m_connections.push_back(fd);
        m_servers.emplace_back([this, fd] { Serve(fd); });
    }
}

void CollectServer::Serve(int fd) {
    std::string received;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    bool complete = false;
    while (true) {
        if (headEnd == std::string::npos) {
            headEnd = received.find("\r\n\r\n");
        }
        if (headEnd != std::string::npos &&
            received.size() >= headEnd + 4 + ContentLength(received.substr(0, headEnd + 2))) {
            complete = true;
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(n));
    }

    Answer answer = Answer::NoContent;
    if (complete) {
        std::unique_lock lock{m_lock};
        const std::size_t length = ContentLength(received.substr(0, headEnd + 2));
        m_requests.push_back(
            Request{received.substr(0, headEnd + 2), received.substr(headEnd + 4, length)});
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_stopping || m_answer != Answer::Held; });
        answer = m_stopping ? Answer::Held : m_answer;
    }
    if (complete && answer == Answer::NoContent) {
        SendAll(fd, "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    } else if (complete && answer == Answer::Endless) {
        bool open = SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n");
        const std::string chunk(kEndlessChunk, 'x');
        while (open) {
            {
                const std::lock_guard guard{m_lock};
                if (m_stopping)
                    break;
            }
            open = SendAll(fd, chunk);
        }
    }
    const std::lock_guard guard{m_lock};
    std::erase(m_connections, fd);
    ::close(fd);
}

} // namespace App::Testing
