#include "server/tls/tls_session.h"

#include "base/utf.h"
#include "server/cert/thumbprint.h"
#include "server/tls/peer_validation.h"
#include "server/tls/tls_log.h"
#include "server/tls/tls_results.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <climits>
#include <new>

namespace Velto::Net {

// The engine's output goes straight into the session's byte vector instead of
// through a memory buffer that would be copied out again.
struct TlsSessionOutput {
    static int Write(BIO* bio, const char* data, int length) {
        auto* self = static_cast<TlsSession*>(BIO_get_data(bio));
        if (self == nullptr || length < 0)
            return -1;
        const auto* bytes = reinterpret_cast<const std::byte*>(data);
        // No exception may unwind through the engine's C frames; running out
        // of memory becomes a failed write there.
        try {
            self->m_out.insert(self->m_out.end(), bytes, bytes + length);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        return length;
    }

    static long Control(BIO* bio, int command, long, void*) {
        auto* self = static_cast<TlsSession*>(BIO_get_data(bio));
        switch (command) {
        case BIO_CTRL_FLUSH:
            return 1;
        case BIO_CTRL_PENDING:
        case BIO_CTRL_WPENDING:
            return self != nullptr ? static_cast<long>(self->m_out.size()) : 0;
        default:
            return 0;
        }
    }
};

namespace {

constexpr std::size_t kRecordHeaderSize = 5;
// Plaintext handed to the engine per call; it cuts records itself.
constexpr std::size_t kSealChunk = 1u << 20;

// An empty input buffer means "wait for more", never the end of the stream.
constexpr int kRetryOnEmpty = -1;

// The reason OpenSSL gave for the last failure, as a result code.
Result HandshakeFailureCode() {
    const unsigned long error = ERR_peek_last_error();
    if (ERR_GET_LIB(error) == ERR_LIB_SSL) {
        switch (ERR_GET_REASON(error)) {
        case SSL_R_UNSUPPORTED_PROTOCOL:
        case SSL_R_UNKNOWN_PROTOCOL:
        case SSL_R_VERSION_TOO_LOW:
        case SSL_R_WRONG_VERSION_NUMBER:
        case SSL_R_NO_SHARED_CIPHER:
        case SSL_R_NO_PROTOCOLS_AVAILABLE:
        case SSL_R_NO_SUITABLE_SIGNATURE_ALGORITHM:
        case SSL_R_NO_SHARED_GROUPS:
            return kSecAlgorithmMismatch;
        default:
            break;
        }
    }
    return kSecIllegalMessage;
}

Result RecordFailureCode() {
    const unsigned long error = ERR_peek_last_error();
    if (ERR_GET_LIB(error) == ERR_LIB_SSL &&
        ERR_GET_REASON(error) == SSL_R_DECRYPTION_FAILED_OR_BAD_RECORD_MAC)
        return kSecDecryptFailure;
    return kSecIllegalMessage;
}

void Append(BIO* bio, std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int written = BIO_write(bio, bytes.data(), piece);
        if (written <= 0)
            return;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

const BIO_METHOD* OutputMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* created =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velto-tls-out");
        if (created == nullptr)
            return created;
        BIO_meth_set_write(created, &TlsSessionOutput::Write);
        BIO_meth_set_ctrl(created, &TlsSessionOutput::Control);
        return created;
    }();
    return method;
}

} // namespace

TlsSession::TlsSession(ConstructionKey, std::shared_ptr<const TlsCredentials> credentials)
    : m_credentials(std::move(credentials)), m_config(m_credentials->Config()),
      m_isServer(m_config.role == TlsRole::Server) {}

TlsSession::~TlsSession() = default;

Result NewTlsSession(std::shared_ptr<const TlsCredentials> credentials,
                     std::unique_ptr<TlsSession>& session) {
    session.reset();
    if (!credentials || credentials->Context() == nullptr)
        return kInvalidArg;
    auto created =
        std::make_unique<TlsSession>(TlsSession::ConstructionKey{}, std::move(credentials));
    created->m_ssl.reset(SSL_new(created->m_credentials->Context()));
    if (!created->m_ssl)
        return kOutOfMemory;
    SSL* const ssl = created->m_ssl.get();
    BioPtr in(BIO_new(BIO_s_mem()));
    BioPtr out(OutputMethod() != nullptr ? BIO_new(OutputMethod()) : nullptr);
    if (!in || !out)
        return kOutOfMemory;
    BIO_set_mem_eof_return(in.get(), kRetryOnEmpty);
    BIO_set_data(out.get(), created.get());
    BIO_set_init(out.get(), 1);
    created->m_in = in.get();
    // The session owns both buffers from here on and frees them with itself.
    SSL_set_bio(ssl, in.release(), out.release());
    SSL_set_msg_callback(ssl, &TlsSession::OnProtocolMessage);
    SSL_set_msg_callback_arg(ssl, created.get());
    if (created->m_isServer) {
        SSL_set_accept_state(ssl);
    } else {
        SSL_set_connect_state(ssl);
        const std::string host = created->m_config.TargetName.empty()
                                     ? std::string("localhost")
                                     : Utf16ToUtf8(created->m_config.TargetName);
        SSL_set_tlsext_host_name(ssl, host.c_str());
    }
    session = std::move(created);
    return kOk;
}

// Sees every record header the engine reads. Once a TLS 1.2 handshake is
// complete, a record of the handshake type can only start a renegotiation
// (a ClientHello, or a server's HelloRequest). TLS 1.3 sends its
// post-handshake messages (key updates, tickets) inside encrypted records.
void TlsSession::OnProtocolMessage(int writeP, int, int contentType, const void* buf,
                                   std::size_t len, SSL* ssl, void* arg) {
    auto* self = static_cast<TlsSession*>(arg);
    if (writeP != 0 || contentType != SSL3_RT_HEADER || len < kRecordHeaderSize ||
        !self->m_complete)
        return;
    const auto* header = static_cast<const unsigned char*>(buf);
    if (header[0] == SSL3_RT_HANDSHAKE && SSL_version(ssl) != TLS1_3_VERSION)
        self->m_renegotiationSeen = true;
}

void TlsSession::DrainOutput(Bytes& output) {
    if (m_out.empty())
        return;
    if (output.empty()) {
        // Hand the bytes over and keep the caller's buffer for the next records.
        output.swap(m_out);
        m_out.clear();
        return;
    }
    output.insert(output.end(), m_out.begin(), m_out.end());
    m_out.clear();
}

void TlsSession::FailHandshake() {
    m_failed = true;
    LogTls(LogLevel::Debug, TakeOpenSslErrors());
}

Result TlsSession::FinishHandshake() {
    if (!m_isServer || m_config.requireClientCertificate) {
        X509* peer = SSL_get0_peer_certificate(m_ssl.get());
        const Result validation = ValidatePeerCertificate(m_config, m_isServer, peer,
                                                          SSL_get_peer_cert_chain(m_ssl.get()));
        if (Failed(validation)) {
            if (m_isServer)
                LogTls(LogLevel::Error, "client certificate validation failed (mTLS)");
            m_failed = true;
            return validation;
        }
        m_peerThumbprint = Sha256Text(peer);
    }
    m_complete = true;
    return kOk;
}

Result TlsSession::Step(std::span<const std::byte> input, Bytes& output, bool& done) {
    const std::lock_guard lock(m_mutex);
    done = false;
    if (m_failed)
        return kFail;
    if (m_complete) {
        Append(m_in, input);
        done = true;
        return kOk;
    }
    m_started = true;
    Append(m_in, input);
    m_flightBytes += input.size();
    if (m_flightBytes > kTlsBufferCeiling) {
        LogTls(LogLevel::Error, "handshake flight exceeded buffer ceiling");
        FailHandshake();
        return kFail;
    }
    if (input.empty() && m_isServer)
        return kOk;

    ERR_clear_error();
    const int status = SSL_do_handshake(m_ssl.get());
    const std::size_t before = output.size();
    if (status == 1) {
        const Result finished = FinishHandshake();
        DrainOutput(output);
        if (Failed(finished))
            return finished;
        done = true;
        return kOk;
    }
    const int error = SSL_get_error(m_ssl.get(), status);
    DrainOutput(output);
    if (output.size() > before)
        m_flightBytes = 0;
    if (error == SSL_ERROR_WANT_READ)
        return kOk;
    const Result code = HandshakeFailureCode();
    LogFailure(m_isServer ? "[Tls] AcceptSecurityContext" : "[Tls] InitializeSecurityContext",
               code);
    FailHandshake();
    return code;
}

Result TlsSession::Seal(std::span<const std::byte> plaintext, Bytes& records) {
    const std::lock_guard lock(m_mutex);
    if (!m_complete || m_failed)
        return kFail;
    while (!plaintext.empty()) {
        const std::size_t piece = std::min(plaintext.size(), kSealChunk);
        std::size_t written = 0;
        ERR_clear_error();
        if (SSL_write_ex(m_ssl.get(), plaintext.data(), piece, &written) != 1 || written != piece) {
            const Result code = RecordFailureCode();
            LogFailure("[Tls] EncryptMessage", code);
            TakeOpenSslErrors();
            return code;
        }
        plaintext = plaintext.subspan(piece);
        // Take the records piece by piece so the engine's buffer stays small.
        DrainOutput(records);
    }
    DrainOutput(records);
    return kOk;
}

Result TlsSession::Open(std::span<const std::byte> ciphertext, Bytes& plaintext, bool& closed) {
    const std::lock_guard lock(m_mutex);
    closed = false;
    if (!m_complete || m_failed)
        return kFail;
    if (m_peerClosed) {
        closed = true;
        return kOk;
    }
    Append(m_in, ciphertext);
    for (;;) {
        const std::size_t start = plaintext.size();
        plaintext.resize(start + kTlsReadChunk);
        std::size_t read = 0;
        ERR_clear_error();
        const int status = SSL_read_ex(m_ssl.get(), plaintext.data() + start, kTlsReadChunk, &read);
        plaintext.resize(start + (status == 1 ? read : 0));
        if (m_renegotiationSeen) {
            LogTls(LogLevel::Error,
                   "peer requested renegotiation; failing closed (dropping connection)");
            m_failed = true;
            (void)BIO_reset(m_in);
            TakeOpenSslErrors();
            return kSecUnsupportedFunction;
        }
        if (status == 1)
            continue;
        const int error = SSL_get_error(m_ssl.get(), status);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
            break;
        if (error == SSL_ERROR_ZERO_RETURN) {
            m_peerClosed = true;
            (void)BIO_reset(m_in);
            closed = true;
            return kOk;
        }
        const Result code = RecordFailureCode();
        LogFailure("[Tls] DecryptMessage", code);
        m_failed = true;
        LogTls(LogLevel::Debug, TakeOpenSslErrors());
        return code;
    }
    if (BIO_ctrl_pending(m_in) > kTlsBufferCeiling) {
        LogTls(LogLevel::Error, "inbound ciphertext record exceeded buffer ceiling; dropping");
        m_failed = true;
        return kFail;
    }
    return kOk;
}

bool TlsSession::HasPendingOutput() const {
    const std::lock_guard lock(m_mutex);
    return !m_out.empty();
}

void TlsSession::TakePendingOutput(Bytes& output) {
    const std::lock_guard lock(m_mutex);
    DrainOutput(output);
}

bool TlsSession::IsComplete() const {
    const std::lock_guard lock(m_mutex);
    return m_complete;
}

bool TlsSession::IsFailed() const {
    const std::lock_guard lock(m_mutex);
    return m_failed;
}

std::u16string TlsSession::PeerThumbprint() const {
    const std::lock_guard lock(m_mutex);
    return m_peerThumbprint;
}

std::string TlsSession::ProtocolVersion() const {
    const std::lock_guard lock(m_mutex);
    return m_complete ? SSL_get_version(m_ssl.get()) : std::string();
}

} // namespace Velto::Net
