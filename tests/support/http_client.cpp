#include "tests/support/http_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kClientTimeoutSeconds = 60;
constexpr std::size_t kReadChunk = 65536;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A socket whose reads and writes give up after the client time-out.
UniqueFd TimedSocket(int family) {
    UniqueFd fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return fd;
    const timeval timeout{kClientTimeoutSeconds, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return fd;
}

sockaddr_in Loopback4(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

template <typename Address> bool Connect(const UniqueFd& fd, const Address& address) {
    return ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

} // namespace

std::string ClientResponse::Header(std::string_view name) const {
    EXPECT_LE(CountHeader(name), 1u) << "header " << name << " appears more than once";
    for (const auto& [key, value] : headers) {
        if (SameName(key, name))
            return value;
    }
    return {};
}

bool ClientResponse::HasHeader(std::string_view name) const {
    return CountHeader(name) > 0;
}

std::size_t ClientResponse::CountHeader(std::string_view name) const {
    return static_cast<std::size_t>(
        std::count_if(headers.begin(), headers.end(),
                      [&](const auto& header) { return SameName(header.first, name); }));
}

HttpClient::HttpClient(std::uint16_t port, bool ipv6) {
    UniqueFd fd = TimedSocket(ipv6 ? AF_INET6 : AF_INET);
    if (!fd)
        return;
    bool connected = false;
    if (ipv6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        connected = Connect(fd, address);
    } else {
        connected = Connect(fd, Loopback4(port));
    }
    if (connected)
        m_socket = std::move(fd);
}

HttpClient::HttpClient(std::uint16_t port, const char* ipv4Source) {
    UniqueFd fd = TimedSocket(AF_INET);
    if (!fd)
        return;
    sockaddr_in source{};
    source.sin_family = AF_INET;
    // The port is chosen at connect, for this destination only: a bind that
    // picks it searches every port of the address, which grows slow enough
    // to eat the processor once thousands of connections sit in TIME_WAIT.
    const int deferPort = 1;
    ::setsockopt(fd.Get(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &deferPort, sizeof deferPort);
    if (::inet_pton(AF_INET, ipv4Source, &source.sin_addr) != 1 ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0)
        return;
    if (Connect(fd, Loopback4(port)))
        m_socket = std::move(fd);
}

bool HttpClient::SendRaw(std::string_view bytes) {
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

bool HttpClient::Fill() {
    char buffer[kReadChunk];
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

std::optional<ClientResponse> HttpClient::ReadResponse(bool headRequest) {
    std::size_t headEnd;
    while ((headEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill())
            return std::nullopt;
    }
    ClientResponse response;
    response.head = m_pending.substr(0, headEnd + 4);
    m_pending.erase(0, headEnd + 4);

    std::string_view head = response.head;
    std::size_t lineEnd = head.find("\r\n");
    response.statusLine = std::string(head.substr(0, lineEnd));
    if (response.statusLine.size() < 12 || !response.statusLine.starts_with("HTTP/1.1 "))
        return std::nullopt;
    std::from_chars(response.statusLine.data() + 9, response.statusLine.data() + 12,
                    response.status);
    head.remove_prefix(lineEnd + 2);
    while ((lineEnd = head.find("\r\n")) != 0 && lineEnd != std::string_view::npos) {
        const std::string_view line = head.substr(0, lineEnd);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        response.headers.emplace_back(Lower(line.substr(0, colon)),
                                      std::string(Trim(line.substr(colon + 1))));
        head.remove_prefix(lineEnd + 2);
    }

    const bool bodyless = headRequest || (response.status >= 100 && response.status < 200) ||
                          response.status == 204 || response.status == 304;
    if (bodyless)
        return response;

    if (response.HasHeader("content-length")) {
        const std::string length = response.Header("content-length");
        std::size_t want = 0;
        std::from_chars(length.data(), length.data() + length.size(), want);
        while (m_pending.size() < want) {
            if (!Fill())
                return std::nullopt;
        }
        response.body = m_pending.substr(0, want);
        m_pending.erase(0, want);
        return response;
    }
    if (SameName(response.Header("transfer-encoding"), "chunked")) {
        for (;;) {
            std::size_t sizeEnd;
            while ((sizeEnd = m_pending.find("\r\n")) == std::string::npos) {
                if (!Fill())
                    return std::nullopt;
            }
            std::size_t size = 0;
            std::from_chars(m_pending.data(), m_pending.data() + sizeEnd, size, 16);
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
    // The body ends with the connection.
    response.body = ReadUntilClose();
    return response;
}

std::optional<ClientResponse> HttpClient::Request(std::string_view method, std::string_view target,
                                                  const std::vector<std::string>& extraHeaders,
                                                  std::string_view body) {
    std::string request;
    request.append(method).append(" ").append(target).append(" HTTP/1.1\r\nHost: test\r\n");
    for (const std::string& line : extraHeaders)
        request.append(line).append("\r\n");
    if (!body.empty() || method == "POST" || method == "PUT")
        request.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    request.append("\r\n").append(body);
    if (!SendRaw(request))
        return std::nullopt;
    return ReadResponse(method == "HEAD");
}

std::string HttpClient::ReadUntilClose(bool* reset) {
    if (reset)
        *reset = false;
    char buffer[kReadChunk];
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

bool HttpClient::PeerClosed() {
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

void HttpClient::ShutdownWrite() {
    ::shutdown(m_socket.Get(), SHUT_WR);
}

} // namespace Velto::Corvane::Testing
