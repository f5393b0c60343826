#pragma once

#include "base/result.h"
#include "server/http/server_counters.h"
#include "server/net/connection.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// Size of one receive into the per-connection buffer.
constexpr std::size_t kReceivePiece = 65536;

// What the body reader and response writer of one connection share: the
// outermost connection, the server's counters, and the bytes received but not
// yet consumed (pipelined requests stay here for the next round).
class ConnectionIo {
public:
    ConnectionIo(std::shared_ptr<Net::IConnection> connection, ServerCounters& counters)
        : m_connection(std::move(connection)), m_counters(counters) {}

    Net::IConnection& Connection() { return *m_connection; }
    ServerCounters& Counters() { return m_counters; }
    std::string& Buffer() { return m_buffer; }

    // The receive timeout for the receives that follow. It reaches the
    // connection only when a receive actually waits on it, and only when it
    // differs from the one already set, so a request that arrives whole costs
    // no option calls.
    void SetReceiveTimeout(std::uint32_t ms) { m_wantedTimeoutMs = ms; }

    // One receive of up to kReceivePiece bytes appended to the buffer. False
    // when the receive fails or the peer has closed.
    bool ReceiveMore();
    // One receive straight into `buffer`, counted; received is 0 when the peer
    // has closed.
    Result Receive(std::span<std::byte> buffer, std::uint32_t& received);

    // Sends and counts the bytes on success.
    bool Send(std::string_view bytes);
    bool SendGather(std::span<const Net::ByteSpan> pieces);

private:
    std::shared_ptr<Net::IConnection> m_connection;
    ServerCounters& m_counters;
    std::string m_buffer;
    std::vector<std::byte> m_scratch;
    std::uint32_t m_wantedTimeoutMs{0};
    std::optional<std::uint32_t> m_appliedTimeoutMs;
};

} // namespace Velto::Corvane
