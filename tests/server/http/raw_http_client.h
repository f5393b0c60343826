#pragma once

#include "base/unique_fd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Test {

struct ParsedResponse {
    std::string statusLine;
    int status{0};
    std::vector<std::pair<std::string, std::string>> headers; // names as sent
    std::string head;                                         // the raw head bytes
    std::string body;

    // Value of the first header named `name` (ASCII case-insensitive), or nullopt.
    std::optional<std::string> Header(std::string_view name) const;
    int HeaderCount(std::string_view name) const;
};

// A plain socket client for driving the server with exact bytes. Every read
// has a generous receive time-out so a server fault fails the test instead of
// hanging it.
class RawHttpClient {
public:
    // Connects to 127.0.0.1 (or ::1 with ipv6) on `port`; check IsConnected().
    explicit RawHttpClient(std::uint16_t port, bool ipv6 = false);
    // Connects to 127.0.0.1 from another loopback address (e.g. "127.0.0.2"),
    // so that the server sees a different client.
    RawHttpClient(std::uint16_t port, const char* ipv4Source);

    bool IsConnected() const { return m_socket.IsValid(); }
    bool Send(std::string_view bytes);
    // Reads one response; a HEAD response (or 1xx/204/304) has no body.
    // nullopt when the connection ends or breaks first.
    std::optional<ParsedResponse> ReadResponse(bool headRequest = false);
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

} // namespace Velto::Test
