#pragma once

#include "base/result.h"
#include "server/net/connection.h"
#include "server/tls/tls_session.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace Velto::Net {

// An IConnection that encrypts everything sent and decrypts everything
// received over an inner connection, after a completed handshake.
class TlsOverConnection final : public IConnection {
public:
    TlsOverConnection(std::shared_ptr<IConnection> inner, std::unique_ptr<TlsSession> session);
    ~TlsOverConnection() override;

    Result Send(ByteSpan bytes) override;
    Result SendGather(std::span<const ByteSpan> pieces) override;
    Result Receive(std::span<std::byte> buffer, std::uint32_t& received) override;
    Result ReceiveNow(std::span<std::byte> buffer, std::uint32_t& received) override;
    void SetMinimumRate(std::uint32_t windowMs, std::uint64_t minBytes) override;
    void Shutdown() override;
    Result SetReceiveTimeout(std::uint32_t ms) override;
    Result SetSendTimeout(std::uint32_t ms) override;
    Result SetKeepAlive(std::uint32_t idleMs, std::uint32_t intervalMs) override;
    Result SetQos(QosPolicy policy) override;
    void Close() override;
    bool IsOpen() const override;
    std::u16string PeerLabel() const override;
    bool IsNoDelay() const override { return false; }
    std::string PeerAddress() const override;
    std::u16string PeerThumbprint() const override { return m_peerThumbprint; }

private:
    Result SendSealedLocked(ByteSpan plaintext);
    Result SendReply();
    // Receive, waiting for the next record or (`wait` false) only taking
    // what has arrived.
    Result ReceiveRecords(std::span<std::byte> buffer, std::uint32_t& received, bool wait);
    bool TakeDecrypted(std::span<std::byte> buffer, std::uint32_t& received);

    std::shared_ptr<IConnection> m_inner;
    std::unique_ptr<TlsSession> m_session;
    std::u16string m_peerThumbprint;

    // Lock order: a receiver may take the send mutex while it holds the receive
    // mutex (to pass on the session's own answers); a sender never takes the
    // receive mutex.
    std::mutex m_sendMutex; // guards m_sealScratch, m_combineScratch and the order of sends
    Bytes m_sealScratch;
    Bytes m_combineScratch;

    std::mutex m_receiveMutex; // guards m_decrypted, m_readPos and m_inboundScratch
    Bytes m_decrypted;
    std::size_t m_readPos{0};
    Bytes m_inboundScratch;
};

// Wraps `inner` after a successful handshake of `session`.
std::unique_ptr<TlsOverConnection> WrapTls(std::shared_ptr<IConnection> inner,
                                           std::unique_ptr<TlsSession> session);

} // namespace Velto::Net
