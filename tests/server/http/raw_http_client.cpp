#include "tests/server/http/raw_http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace Velto::Test {
namespace {

constexpr int kClientTimeoutSeconds = 60;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return out;
}

} // namespace

std::optional<std::string> ParsedResponse::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (Lower(key) == Lower(name))
            return value;
    }
    return std::nullopt;
}

int ParsedResponse::HeaderCount(std::string_view name) const {
    int count = 0;
    for (const auto& header : headers)
        count += Lower(header.first) == Lower(name) ? 1 : 0;
    return count;
}

RawHttpClient::RawHttpClient(std::uint16_t port, bool ipv6) {
    UniqueFd fd(::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return;
    timeval tv{kClientTimeoutSeconds, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    int rc = -1;
    if (ipv6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        rc = ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        rc = ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    if (rc == 0)
        m_socket = std::move(fd);
}

RawHttpClient::RawHttpClient(std::uint16_t port, const char* ipv4Source) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return;
    timeval tv{kClientTimeoutSeconds, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (::inet_pton(AF_INET, ipv4Source, &source.sin_addr) != 1 ||
        ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        m_socket = std::move(fd);
}

bool RawHttpClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool RawHttpClient::Fill() {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(m_socket.Get(), buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        m_pending.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
}

std::optional<ParsedResponse> RawHttpClient::ReadResponse(bool headRequest) {
    std::size_t headEnd;
    while ((headEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill())
            return std::nullopt;
    }
    ParsedResponse response;
    response.head = m_pending.substr(0, headEnd + 4);
    m_pending.erase(0, headEnd + 4);

    std::string_view head = response.head;
    std::size_t lineEnd = head.find("\r\n");
    response.statusLine = std::string(head.substr(0, lineEnd));
    if (response.statusLine.size() >= 12)
        response.status = std::atoi(response.statusLine.c_str() + 9);
    head.remove_prefix(lineEnd + 2);
    while ((lineEnd = head.find("\r\n")) != 0 && lineEnd != std::string_view::npos) {
        const std::string_view line = head.substr(0, lineEnd);
        const std::size_t colon = line.find(':');
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        response.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
        head.remove_prefix(lineEnd + 2);
    }

    const bool bodyless = headRequest || (response.status >= 100 && response.status < 200) ||
                          response.status == 204 || response.status == 304;
    if (bodyless)
        return response;

    if (const auto length = response.Header("content-length")) {
        const std::size_t want = std::stoull(*length);
        while (m_pending.size() < want) {
            if (!Fill())
                return std::nullopt;
        }
        response.body = m_pending.substr(0, want);
        m_pending.erase(0, want);
        return response;
    }
    if (const auto coding = response.Header("transfer-encoding");
        coding && Lower(*coding) == "chunked") {
        for (;;) {
            std::size_t sizeEnd;
            while ((sizeEnd = m_pending.find("\r\n")) == std::string::npos) {
                if (!Fill())
                    return std::nullopt;
            }
            const std::size_t size = std::stoull(m_pending.substr(0, sizeEnd), nullptr, 16);
            m_pending.erase(0, sizeEnd + 2);
            while (m_pending.size() < size + 2) {
                if (!Fill())
                    return std::nullopt;
            }
            if (size == 0) {
                m_pending.erase(0, 2);
                return response;
            }
            response.body.append(m_pending, 0, size);
            m_pending.erase(0, size + 2);
        }
    }
    // Body delimited by the end of the connection.
    response.body = ReadUntilClose();
    return response;
}

std::string RawHttpClient::ReadUntilClose(bool* reset) {
    if (reset)
        *reset = false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(m_socket.Get(), buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && reset && errno == ECONNRESET)
            *reset = true;
        if (got <= 0)
            break;
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
    std::string all = std::move(m_pending);
    m_pending.clear();
    return all;
}

bool RawHttpClient::PeerClosed() {
    if (!m_pending.empty())
        return false;
    char byte;
    for (;;) {
        const ssize_t got = ::recv(m_socket.Get(), &byte, 1, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got > 0) {
            m_pending.push_back(byte);
            return false;
        }
        // 0 is an orderly close, ECONNRESET a close with unread data; a
        // time-out means the connection is still open.
        return got == 0 || errno == ECONNRESET;
    }
}

void RawHttpClient::ShutdownWrite() {
    ::shutdown(m_socket.Get(), SHUT_WR);
}

} // namespace Velto::Test
