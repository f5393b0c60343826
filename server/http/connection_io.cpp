#include "server/http/connection_io.h"

namespace Velto::Corvane {

Result ConnectionIo::Receive(std::span<std::byte> buffer, std::uint32_t& received) {
    received = 0;
    if (m_appliedTimeoutMs != m_wantedTimeoutMs &&
        Succeeded(m_connection->SetReceiveTimeout(m_wantedTimeoutMs)))
        m_appliedTimeoutMs = m_wantedTimeoutMs;
    const Result result = m_connection->Receive(buffer, received);
    if (Succeeded(result))
        m_counters.bytesReceived.fetch_add(received, std::memory_order_relaxed);
    return result;
}

bool ConnectionIo::ReceiveMore() {
    if (m_scratch.empty())
        m_scratch.resize(kReceivePiece);
    std::uint32_t received = 0;
    const Result result = Receive(m_scratch, received);
    if (Failed(result) || received == 0)
        return false;
    m_buffer.append(reinterpret_cast<const char*>(m_scratch.data()), received);
    return true;
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
