#include "server/http/connection_io.h"

#include "base/clock.h"

#include <algorithm>
#include <climits>

namespace Velto::Corvane {

ConnectionIo::ConnectionIo(std::shared_ptr<Net::IConnection> connection, ServerCounters& counters,
                           std::shared_ptr<Net::IConnection> transport)
    : m_connection(std::move(connection)), m_counters(counters),
      m_transport(transport ? std::move(transport) : m_connection) {}

void ConnectionIo::SetReceiveTimeout(std::uint32_t ms) {
    m_timeoutMs = ms;
    if (m_ownDeadlineMs == 0)
        m_connection->SetReceiveTimeout(ms);
}

void ConnectionIo::SetReceiveDeadline(std::uint64_t deadlineMs) {
    if (m_transport->SetReceiveDeadline(deadlineMs))
        return;
    const bool hadDeadline = m_ownDeadlineMs != 0;
    m_ownDeadlineMs = deadlineMs;
    if (deadlineMs == 0 && hadDeadline)
        m_connection->SetReceiveTimeout(m_timeoutMs);
}

Result ConnectionIo::FitTimeoutToDeadline() {
    const std::uint64_t now = TickCount64();
    if (now >= m_ownDeadlineMs)
        return kTimedOut;
    const std::uint64_t left = std::min<std::uint64_t>(m_ownDeadlineMs - now, UINT32_MAX);
    return m_connection->SetReceiveTimeout(static_cast<std::uint32_t>(left));
}

Result ConnectionIo::Receive(std::span<std::byte> buffer, std::uint32_t& received) {
    received = 0;
    if (m_ownDeadlineMs != 0) {
        const Result fitted = FitTimeoutToDeadline();
        if (Failed(fitted))
            return fitted;
    }
    const Result result = m_connection->Receive(buffer, received);
    if (Succeeded(result))
        m_counters.bytesReceived.fetch_add(received, std::memory_order_relaxed);
    return result;
}

std::span<std::byte> ConnectionIo::Scratch() {
    if (m_lent.size() >= kReceivePiece)
        return m_lent.first(kReceivePiece);
    if (!m_scratch)
        m_scratch.reset(new std::byte[kReceivePiece]); // uninitialised: receives fill it
    return {m_scratch.get(), kReceivePiece};
}

bool ConnectionIo::ReceiveMore() {
    const std::span<std::byte> scratch = Scratch();
    std::uint32_t received = 0;
    const Result result = Receive(scratch, received);
    if (Failed(result) || received == 0)
        return false;
    m_buffer.append(reinterpret_cast<const char*>(scratch.data()), received);
    return true;
}

ConnectionIo::Arrival ConnectionIo::ReceiveAvailable() {
    const std::span<std::byte> scratch = Scratch();
    std::uint32_t received = 0;
    const Result result = m_connection->ReceiveNow(scratch, received);
    if (result == kWouldBlock)
        return Arrival::Nothing;
    if (Failed(result) || received == 0)
        return Arrival::Closed;
    m_counters.bytesReceived.fetch_add(received, std::memory_order_relaxed);
    m_buffer.append(reinterpret_cast<const char*>(scratch.data()), received);
    return Arrival::Bytes;
}

bool ConnectionIo::Send(std::string_view bytes) {
    if (Failed(m_connection->Send(std::as_bytes(std::span(bytes)))))
        return false;
    m_counters.bytesSent.fetch_add(bytes.size(), std::memory_order_relaxed);
    return true;
}

bool ConnectionIo::SendGather(std::span<const Net::ByteSpan> pieces) {
    if (Failed(m_connection->SendGather(pieces)))
        return false;
    std::uint64_t total = 0;
    for (const Net::ByteSpan piece : pieces)
        total += piece.size();
    m_counters.bytesSent.fetch_add(total, std::memory_order_relaxed);
    return true;
}

} // namespace Velto::Corvane
