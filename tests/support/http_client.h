#pragma once

#include "base/unique_fd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Velto::Corvane::Testing {

struct ClientResponse {
    int status{0};
    std::vector<std::pair<std::string, std::string>> headers; // names lower-cased
    std::string body;

    // The value of the only header with this (lower-case) name; empty when
    // absent. Fails the calling test when the header appears twice.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    std::size_t CountHeader(std::string_view name) const;
};

// A plain HTTP/1.1 client over one loopback TCP connection, reading replies
// framed by Content-Length. Requests are written byte for byte as given.
class HttpClient {
public:
    explicit HttpClient(std::uint16_t port);

    bool IsConnected() const { return m_fd.IsValid(); }
    bool SendRaw(std::string_view bytes);
    // Reads one reply; `headRequest` means the reply carries no body.
    std::optional<ClientResponse> ReadResponse(bool headRequest = false);
    // True when the server has closed the connection (reads end of stream).
    bool PeerClosed();

    // Sends a request with Host and Content-Length (when a body is given) and
    // reads the reply. `extraHeaders` are whole lines without the CRLF.
    std::optional<ClientResponse> Request(std::string_view method, std::string_view target,
                                          const std::vector<std::string>& extraHeaders = {},
                                          std::string_view body = {});

private:
    bool Fill();

    UniqueFd m_fd;
    std::string m_buffer;
};

} // namespace Velto::Corvane::Testing
