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
    std::string statusLine;
    int status{0};
    // In the order sent, names lower-cased (`head` keeps them as sent).
    std::vector<std::pair<std::string, std::string>> headers;
    std::string head; // the raw head bytes
    std::string body;

    // Header names match ASCII case-insensitively.
    // The value of the only header with this name; empty when absent. Fails
    // the calling test when the header appears twice.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    std::size_t CountHeader(std::string_view name) const;
};

// A plain HTTP/1.1 client over one loopback TCP connection, for driving a
// server with exact bytes. Requests are written byte for byte as given;
// replies are framed by Content-Length, chunked coding or the end of the
// connection. Every read has a generous receive time-out so that a server
// fault fails the test instead of hanging it.
class HttpClient {
public:
    // Connects to 127.0.0.1 (or ::1 with ipv6) on `port`; check IsConnected().
    explicit HttpClient(std::uint16_t port, bool ipv6 = false);
    // Connects to 127.0.0.1 from another loopback address (e.g. "127.0.0.2"),
    // so that the server sees a different client.
    HttpClient(std::uint16_t port, const char* ipv4Source);

    bool IsConnected() const { return m_socket.IsValid(); }
    bool SendRaw(std::string_view bytes);
    // Reads one reply; a HEAD reply (or 1xx/204/304) has no body. nullopt
    // when the connection ends or breaks first, or the head is malformed.
    std::optional<ClientResponse> ReadResponse(bool headRequest = false);
    // Sends a request with Host and Content-Length (when a body is given, and
    // always for POST and PUT) and reads the reply. `extraHeaders` are whole
    // lines without the CRLF.
    std::optional<ClientResponse> Request(std::string_view method, std::string_view target,
                                          const std::vector<std::string>& extraHeaders = {},
                                          std::string_view body = {});
    // Reads everything until the peer closes; `reset` tells whether the
    // connection was reset rather than closed.
    std::string ReadUntilClose(bool* reset = nullptr);
    // True when the peer has closed (or reset) and nothing more is buffered.
    bool PeerClosed();
    // Bytes received but not consumed by ReadResponse.
    const std::string& Pending() const { return m_pending; }
    void ShutdownWrite();
    int Fd() const { return m_socket.Get(); }

private:
    bool Fill();

    UniqueFd m_socket;
    std::string m_pending;
};

} // namespace Velto::Corvane::Testing
