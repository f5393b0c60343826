#pragma once

#include "base/openssl_handles.h"
#include "base/result.h"
#include "server/tls/tls_config.h"
#include "server/tls/tls_credentials.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace Velto::Net {

using Bytes = std::vector<std::byte>;

// One TLS endpoint over two memory buffers: the caller moves ciphertext in and
// out, so the session never touches a socket itself.
class TlsSession {
    struct ConstructionKey {};

public:
    // Sessions come from NewTlsSession.
    TlsSession(ConstructionKey, std::shared_ptr<const TlsCredentials> credentials);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Feeds handshake input and appends what must be sent to `output`, even when
    // the step fails (so the peer gets its alert). `done` turns true once the
    // handshake is complete; bytes that follow it are kept for Open.
    Result Step(std::span<const std::byte> input, Bytes& output, bool& done);
    // Appends the TLS records for `plaintext` to `records`.
    Result Seal(std::span<const std::byte> plaintext, Bytes& records);
    // Decrypts `ciphertext` (plus anything buffered) and appends the plaintext.
    // `closed` reports the peer's close notification.
    Result Open(std::span<const std::byte> ciphertext, Bytes& plaintext, bool& closed);
    // Records the session produced on its own while opening (the answer to a
    // TLS 1.3 key update). They must reach the peer before anything sealed
    // later, so the caller takes them under the same lock as its sends.
    bool HasPendingOutput() const;
    void TakePendingOutput(Bytes& output);

    bool IsComplete() const;
    bool IsFailed() const;
    bool IsServer() const { return m_isServer; }
    // SHA-256 of the validated peer certificate; empty when none was validated.
    std::u16string PeerThumbprint() const;
    // The negotiated protocol, e.g. "TLSv1.3"; empty before completion.
    std::string ProtocolVersion() const;

private:
    friend struct TlsSessionOutput;
    friend Result NewTlsSession(std::shared_ptr<const TlsCredentials> credentials,
                                std::unique_ptr<TlsSession>& session);

    void DrainOutput(Bytes& output);
    void FailHandshake();
    Result FinishHandshake();
    static void OnProtocolMessage(int writeP, int version, int contentType, const void* buf,
                                  std::size_t len, SSL* ssl, void* arg);

    std::shared_ptr<const TlsCredentials> m_credentials;
    TlsConfig m_config;
    bool m_isServer{false};

    mutable std::mutex m_mutex; // guards everything below: the TLS engine is single-threaded
    BIO* m_in{nullptr};         // ciphertext received, not yet consumed (the engine owns it)
    Bytes m_out; // ciphertext produced, not yet taken (the engine writes straight into it)
    bool m_started{false};
    bool m_complete{false};
    bool m_failed{false};
    bool m_peerClosed{false};
    bool m_renegotiationSeen{false};
    std::size_t m_flightBytes{0}; // handshake input since our last output
    std::u16string m_peerThumbprint;
    // Declared last so that it goes first: its output buffer writes into m_out.
    SslPtr m_ssl;
};

// A new session over shared credentials; 0x80070057 when they are empty.
Result NewTlsSession(std::shared_ptr<const TlsCredentials> credentials,
                     std::unique_ptr<TlsSession>& session);

} // namespace Velto::Net
