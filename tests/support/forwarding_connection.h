#pragma once

#include "server/net/connection.h"

#include <memory>

namespace Velto::Testing {

// Passes every call to an inner connection; tests derive from it to watch or
// hide one operation. It never offers the zero-copy file path, the way a TLS
// connection does not.
class ForwardingConnection : public Net::IConnection {
public:
    explicit ForwardingConnection(std::shared_ptr<Net::IConnection> inner)
        : m_inner(std::move(inner)) {}

    Result Send(Net::ByteSpan bytes) override { return m_inner->Send(bytes); }
    Result SendGather(std::span<const Net::ByteSpan> pieces) override {
        return m_inner->SendGather(pieces);
    }
    Result Receive(std::span<std::byte> buffer, std::uint32_t& received) override {
        return m_inner->Receive(buffer, received);
    }
    Result ReceiveNow(std::span<std::byte> buffer, std::uint32_t& received) override {
        return m_inner->ReceiveNow(buffer, received);
    }
    void Shutdown() override { m_inner->Shutdown(); }
    Result SetReceiveTimeout(std::uint32_t ms) override { return m_inner->SetReceiveTimeout(ms); }
    Result SetSendTimeout(std::uint32_t ms) override { return m_inner->SetSendTimeout(ms); }
    Result SetKeepAlive(std::uint32_t idleMs, std::uint32_t intervalMs) override {
        return m_inner->SetKeepAlive(idleMs, intervalMs);
    }
    Result SetQos(Net::QosPolicy policy) override { return m_inner->SetQos(policy); }
    void Close() override { m_inner->Close(); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    std::u16string PeerLabel() const override { return m_inner->PeerLabel(); }
    bool IsNoDelay() const override { return m_inner->IsNoDelay(); }
    std::string PeerAddress() const override { return m_inner->PeerAddress(); }
    std::u16string PeerThumbprint() const override { return m_inner->PeerThumbprint(); }

private:
    std::shared_ptr<Net::IConnection> m_inner;
};

} // namespace Velto::Testing
