#pragma once

#include "base/result.h"
#include "server/http/server_counters.h"
#include "server/net/connection.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Size of one receive into the per-connection buffer.
constexpr std::size_t kReceivePiece = 65536;

// What the body reader and response writer of one connection share: the
// outermost connection, the server's counters, and the bytes received but not
// yet consumed (pipelined requests stay here for the next round).
class ConnectionIo {
public:
    // `transport` is the socket under `connection` (the same object without
    // TLS); receive deadlines are kept there, so a TLS record trickled in byte
    // by byte cannot stretch them. Empty means `connection` itself.
    ConnectionIo(std::shared_ptr<Net::IConnection> connection, ServerCounters& counters,
                 std::shared_ptr<Net::IConnection> transport = nullptr);

    Net::IConnection& Connection() { return *m_connection; }
    ServerCounters& Counters() { return m_counters; }
    std::string& Buffer() { return m_buffer; }

    // The receive time-out for each wait while no deadline is set.
    void SetReceiveTimeout(std::uint32_t ms);
    // A deadline (TickCount64 milliseconds) for all receives that follow,
    // however many it takes; 0 removes it. Once it has passed, receives fail.
    void SetReceiveDeadline(std::uint64_t deadlineMs);

    // One receive of up to kReceivePiece bytes appended to the buffer. False
    // when the receive fails or the peer has closed.
    bool ReceiveMore();
    // What one receive that does not wait found.
    enum class Arrival { Bytes, Nothing, Closed };
    // Appends whatever has arrived, without waiting; Closed when the peer has
    // closed or the connection failed.
    Arrival ReceiveAvailable();
    // Receives go through `scratch` (at least kReceivePiece bytes, lent by
    // the thread serving the connection) until ReleaseScratch, instead of
    // through a buffer of the connection's own.
    void LendScratch(std::span<std::byte> scratch) { m_lent = scratch; }
    // Gives back the receive scratch while the connection waits between
    // requests, so an idle connection holds no more than its pending bytes.
    void ReleaseScratch() {
        m_scratch.reset();
        m_lent = {};
    }

    // One receive straight into `buffer`, counted; received is 0 when the peer
    // has closed.
    Result Receive(std::span<std::byte> buffer, std::uint32_t& received);

    // Sends and counts the bytes on success.
    bool Send(std::string_view bytes);
    bool SendGather(std::span<const Net::ByteSpan> pieces);

private:
    // For a transport that cannot keep a deadline: each receive's time-out is
    // cut to the time left.
    Result FitTimeoutToDeadline();

    std::shared_ptr<Net::IConnection> m_connection;
    ServerCounters& m_counters;
    std::shared_ptr<Net::IConnection> m_transport;
    std::string m_buffer;
    std::span<std::byte> Scratch();

    std::unique_ptr<std::byte[]> m_scratch; // kReceivePiece bytes while in use
    std::span<std::byte> m_lent;
    std::uint32_t m_timeoutMs{0};
    std::uint64_t m_ownDeadlineMs{0}; // kept here only when the transport cannot
};

} // namespace Velto::Corvane
