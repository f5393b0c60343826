#include "server/tls/tls_over_connection.h"

#include "base/diag_log.h"
#include "server/tls/tls_results.h"

#include <algorithm>
#include <cstring>

namespace Velto::Net {

TlsOverConnection::TlsOverConnection(std::shared_ptr<IConnection> inner,
                                     std::unique_ptr<TlsSession> session)
    : m_inner(std::move(inner)), m_session(std::move(session)),
      m_peerThumbprint(m_session ? m_session->PeerThumbprint() : std::u16string()) {}

TlsOverConnection::~TlsOverConnection() {
    if (m_inner)
        m_inner->Close();
}

std::unique_ptr<TlsOverConnection> WrapTls(std::shared_ptr<IConnection> inner,
                                           std::unique_ptr<TlsSession> session) {
    return std::make_unique<TlsOverConnection>(std::move(inner), std::move(session));
}

Result TlsOverConnection::SendSealedLocked(ByteSpan plaintext) {
    m_sealScratch.clear();
    const Result sealed = m_session->Seal(plaintext, m_sealScratch);
    if (Failed(sealed)) {
        LogFailure("[Tls] seal outgoing data", sealed);
        return sealed;
    }
    if (m_sealScratch.empty())
        return kOk;
    return m_inner->Send(m_sealScratch);
}

Result TlsOverConnection::Send(ByteSpan bytes) {
    const std::lock_guard lock(m_sendMutex);
    return SendSealedLocked(bytes);
}

Result TlsOverConnection::SendGather(std::span<const ByteSpan> pieces) {
    const std::lock_guard lock(m_sendMutex);
    // One run of records and one inner send for all pieces (an HTTP chunk's
    // size line, data and end).
    m_combineScratch.clear();
    for (const ByteSpan piece : pieces)
        m_combineScratch.insert(m_combineScratch.end(), piece.begin(), piece.end());
    return SendSealedLocked(m_combineScratch);
}

// Records the session made while reading (its answer to a key update) go out
// under the send lock, so they keep their place among sealed records.
Result TlsOverConnection::SendReply() {
    const std::lock_guard lock(m_sendMutex);
    Bytes reply;
    m_session->TakePendingOutput(reply);
    if (reply.empty())
        return kOk;
    return m_inner->Send(reply);
}

bool TlsOverConnection::TakeDecrypted(std::span<std::byte> buffer, std::uint32_t& received) {
    const std::size_t available = m_decrypted.size() - m_readPos;
    if (available == 0)
        return false;
    const std::size_t count = std::min(available, buffer.size());
    std::memcpy(buffer.data(), m_decrypted.data() + m_readPos, count);
    m_readPos += count;
    if (m_readPos == m_decrypted.size()) {
        m_decrypted.clear();
        m_readPos = 0;
    }
    received = static_cast<std::uint32_t>(count);
    return true;
}

Result TlsOverConnection::Receive(std::span<std::byte> buffer, std::uint32_t& received) {
    return ReceiveRecords(buffer, received, true);
}

Result TlsOverConnection::ReceiveNow(std::span<std::byte> buffer, std::uint32_t& received) {
    return ReceiveRecords(buffer, received, false);
}

void TlsOverConnection::SetMinimumRate(std::uint32_t windowMs, std::uint64_t minBytes) {
    m_inner->SetMinimumRate(windowMs, minBytes);
}

Result TlsOverConnection::ReceiveRecords(std::span<std::byte> buffer, std::uint32_t& received,
                                         bool wait) {
    received = 0;
    if (buffer.empty())
        return kOk;
    const std::lock_guard lock(m_receiveMutex);
    if (TakeDecrypted(buffer, received))
        return kOk;
    m_decrypted.clear();
    m_readPos = 0;
    bool closed = false;
    Result opened = m_session->Open({}, m_decrypted, closed);
    if (Failed(opened)) {
        LogFailure("[Tls] open buffered records", opened);
        return opened;
    }
    if (m_inboundScratch.size() != kTlsReadChunk)
        m_inboundScratch.resize(kTlsReadChunk);
    for (;;) {
        if (m_session->HasPendingOutput()) {
            const Result replied = SendReply();
            if (Failed(replied))
                return replied;
        }
        if (TakeDecrypted(buffer, received))
            return kOk;
        if (closed)
            return kOk;
        std::uint32_t count = 0;
        const Result got = wait ? m_inner->Receive(m_inboundScratch, count)
                                : m_inner->ReceiveNow(m_inboundScratch, count);
        if (got == kWouldBlock)
            return got; // a partial record stays in the session for the next call
        if (Failed(got)) {
            LogFailure("[Tls] receive from inner connection", got);
            return got;
        }
        if (count == 0)
            return kOk;
        opened = m_session->Open(std::span<const std::byte>(m_inboundScratch.data(), count),
                                 m_decrypted, closed);
        if (Failed(opened)) {
            LogFailure("[Tls] open received records", opened);
            return opened;
        }
    }
}

void TlsOverConnection::Shutdown() {
    m_inner->Shutdown();
}
Result TlsOverConnection::SetReceiveTimeout(std::uint32_t ms) {
    return m_inner->SetReceiveTimeout(ms);
}
Result TlsOverConnection::SetSendTimeout(std::uint32_t ms) {
    return m_inner->SetSendTimeout(ms);
}
Result TlsOverConnection::SetKeepAlive(std::uint32_t idleMs, std::uint32_t intervalMs) {
    return m_inner->SetKeepAlive(idleMs, intervalMs);
}
Result TlsOverConnection::SetQos(QosPolicy policy) {
    return m_inner->SetQos(policy);
}
void TlsOverConnection::Close() {
    m_inner->Close();
}
bool TlsOverConnection::IsOpen() const {
    return m_inner->IsOpen();
}
std::u16string TlsOverConnection::PeerLabel() const {
    return m_inner->PeerLabel();
}
std::string TlsOverConnection::PeerAddress() const {
    return m_inner->PeerAddress();
}

} // namespace Velto::Net
