#include "tests/support/http_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace Velto::Corvane::Testing {

namespace {

constexpr int kReceiveTimeoutSeconds = 30;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string ClientResponse::Header(std::string_view name) const {
    EXPECT_LE(CountHeader(name), 1u) << "header " << name << " appears more than once";
    for (const auto& [key, value] : headers) {
        if (key == name)
            return value;
    }
    return {};
}

bool ClientResponse::HasHeader(std::string_view name) const {
    return CountHeader(name) > 0;
}

std::size_t ClientResponse::CountHeader(std::string_view name) const {
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(), [&](const auto& pair) { return pair.first == name; }));
}

HttpClient::HttpClient(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return;
    timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return;
    m_fd = std::move(fd);
}

bool HttpClient::SendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool HttpClient::Fill() {
    char chunk[65536];
    const ssize_t got = ::recv(m_fd.Get(), chunk, sizeof chunk, 0);
    if (got <= 0)
        return false;
    m_buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
}

bool HttpClient::PeerClosed() {
    if (!m_buffer.empty())
        return false;
    char byte;
    return ::recv(m_fd.Get(), &byte, 1, 0) == 0;
}

std::optional<ClientResponse> HttpClient::ReadResponse(bool headRequest) {
    std::size_t end;
    while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill())
            return std::nullopt;
    }
    const std::string head = m_buffer.substr(0, end);
    m_buffer.erase(0, end + 4);

    ClientResponse response;
    std::size_t lineEnd = head.find("\r\n");
    const std::string statusLine = head.substr(0, lineEnd);
    if (statusLine.size() < 12 || !statusLine.starts_with("HTTP/1.1 "))
        return std::nullopt;
    std::from_chars(statusLine.data() + 9, statusLine.data() + 12, response.status);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = std::string_view(head).substr(
            start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        response.headers.emplace_back(Lower(line.substr(0, colon)),
                                      std::string(Trim(line.substr(colon + 1))));
    }

    std::uint64_t length = 0;
    for (const auto& [name, value] : response.headers) {
        if (name == "content-length")
            std::from_chars(value.data(), value.data() + value.size(), length);
    }
    if (headRequest)
        length = 0;
    while (m_buffer.size() < length) {
        if (!Fill())
            return std::nullopt;
    }
    response.body = m_buffer.substr(0, length);
    m_buffer.erase(0, length);
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

} // namespace Velto::Corvane::Testing
