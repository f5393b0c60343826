#include "server/http/http_server.h"

#include "base/utf.h"
#include "server/http/body_reader.h"
#include "server/http/canned_response.h"
#include "server/http/connection_io.h"
#include "server/http/head_parser.h"
#include "server/http/listen_socket.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "server/http/response_writer.h"
#include "server/net/tcp_connection.h"
#include "server/net/winsock_count.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_over_connection.h"
#include "server/tls/tls_session.h"

#include <sys/socket.h>

#include <array>
#include <chrono>
#include <system_error>

namespace Velto::Corvane {
namespace {

constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(20);
constexpr std::uint32_t kKeepAliveIdleMs = 30000;
constexpr std::uint32_t kKeepAliveIntervalMs = 5000;
// Unread request body the server still reads past to keep a connection.
constexpr std::uint64_t kMaxDrainBytes = 1048576;
constexpr std::size_t kDrainPiece = 16384;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr std::string_view kInternalError = "Internal Server Error";

} // namespace

Result HttpServer::Start(const ServerOptions& options) {
    if (m_running.load())
        return kAlreadyRunning;
    const Result acquired = Net::AcquireWinsock();
    if (Failed(acquired))
        return acquired;

    m_options = options;
    const Result opened =
        OpenListenSocket(options.port, options.loopbackOnly, m_listenSocket, m_boundPort);
    if (Failed(opened)) {
        Net::ReleaseWinsock();
        return opened;
    }
    m_running.store(true);
    m_acceptThread = std::thread(&HttpServer::AcceptLoop, this);
    return kOk;
}

void HttpServer::Stop() {
    if (!m_running.exchange(false))
        return;

    // shutdown() makes the blocked accept() return; the descriptor is closed
    // only after the accept thread has left it.
    ::shutdown(m_listenSocket.Get(), SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    m_listenSocket.Reset();

    {
        const std::lock_guard lock(m_mutex);
        for (ConnectionSlot& slot : m_slots) {
            if (slot.connection)
                slot.connection->Shutdown();
        }
    }
    // The accept thread is gone, so the list no longer changes shape.
    for (ConnectionSlot& slot : m_slots) {
        if (slot.thread.joinable())
            slot.thread.join();
    }
    m_slots.clear();
    Net::ReleaseWinsock();
}

void HttpServer::ReapFinishedSlots() {
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        if (!it->done.load()) {
            ++it;
            continue;
        }
        if (it->thread.joinable() && it->thread.get_id() != std::this_thread::get_id())
            it->thread.join();
        it = m_slots.erase(it);
    }
}

void HttpServer::AcceptLoop() {
    while (m_running.load()) {
        UniqueFd socket;
        std::string peer;
        if (Failed(AcceptConnection(m_listenSocket.Get(), socket, peer))) {
            if (!m_running.load())
                break;
            std::this_thread::sleep_for(kAcceptRetryDelay);
            continue;
        }

        {
            const std::lock_guard lock(m_mutex);
            ReapFinishedSlots();
        }

        const std::lock_guard lock(m_mutex);
        if (m_slots.size() >= m_options.maxConnections || !m_running.load()) {
            // Refused in clear text, even on a TLS server: no handshake for a
            // connection we will not serve.
            std::unique_ptr<Net::IConnection> refused = Net::MakeTcpConnection(socket, u"");
            SendCannedResponse(*refused, m_counters, 503);
            refused->Close();
            continue;
        }
        ConnectionSlot& slot = m_slots.emplace_back();
        try {
            slot.thread = std::thread(&HttpServer::RunConnection, this, std::move(socket),
                                      std::move(peer), std::ref(slot));
        } catch (const std::system_error&) {
            // No thread for it (the system is out of threads): the socket
            // went with the failed start and is closed; forget the slot.
            m_slots.pop_back();
        }
    }
}

void HttpServer::Publish(ConnectionSlot& slot, std::shared_ptr<Net::IConnection> connection) {
    const std::lock_guard lock(m_mutex);
    slot.connection = std::move(connection);
}

void HttpServer::RunConnection(UniqueFd socket, std::string peer, ConnectionSlot& slot) {
    m_counters.activeConnections.fetch_add(1);
    std::shared_ptr<Net::IConnection> connection =
        Net::MakeTcpConnection(socket, Utf8ToUtf16(peer));
    Publish(slot, connection);

    if (m_running.load()) {
        std::shared_ptr<Net::IConnection> outer =
            m_options.tls ? WrapInTls(connection, slot) : connection;
        if (outer) {
            outer->SetSendTimeout(m_options.ioTimeoutMs);
            outer->SetKeepAlive(kKeepAliveIdleMs, kKeepAliveIntervalMs);
            ServeRequests(outer, peer);
            connection = std::move(outer);
        }
    }

    connection->Close();
    {
        const std::lock_guard lock(m_mutex);
        slot.connection.reset();
    }
    connection.reset();
    m_counters.activeConnections.fetch_sub(1);
    slot.done.store(true); // last touch of the slot: the accept thread may now reap it
}

std::shared_ptr<Net::IConnection>
HttpServer::WrapInTls(const std::shared_ptr<Net::IConnection>& tcp, ConnectionSlot& slot) {
    std::unique_ptr<Net::TlsSession> session;
    if (Failed(Net::NewTlsSession(m_options.tls, session)))
        return nullptr;
    if (Failed(Net::HandshakeOverConnection(*tcp, *session, Net::kServerHandshakeTimeoutMs)))
        return nullptr;
    std::shared_ptr<Net::IConnection> wrapped = Net::WrapTls(tcp, std::move(session));
    Publish(slot, wrapped);
    return wrapped;
}

void HttpServer::ServeRequests(const std::shared_ptr<Net::IConnection>& connection,
                               const std::string& peer) {
    ConnectionIo io(connection, m_counters);
    std::string& buffer = io.Buffer();
    bool firstRequest = true;

    while (m_running.load()) {
        io.SetReceiveTimeout(firstRequest ? m_options.headerTimeoutMs : m_options.idleTimeoutMs);
        firstRequest = false;

        RequestHeadParser parser;
        for (;;) {
            const HeadParseStatus status = parser.Parse(buffer, kMaxHeadBytes);
            if (status == HeadParseStatus::Complete)
                break;
            if (status == HeadParseStatus::Error) {
                SendCannedResponse(*connection, m_counters,
                                   buffer.size() >= kMaxHeadBytes ? 431 : 400);
                return;
            }
            const bool wasEmpty = buffer.empty();
            if (!io.ReceiveMore())
                return;
            if (wasEmpty)
                io.SetReceiveTimeout(m_options.headerTimeoutMs);
        }
        RequestHead head = std::move(parser.Head());
        buffer.erase(0, parser.Used());
        io.SetReceiveTimeout(m_options.ioTimeoutMs);

        const std::optional<HeadAnalysis> analysis = AnalyseHead(head);
        if (!analysis || (head.version == 1 && CountHeaders(head, "host") != 1)) {
            SendCannedResponse(*connection, m_counters, 400);
            return;
        }

        HttpRequest request;
        request.method = head.method;
        request.target = head.target;
        const std::string_view target = request.target;
        const std::size_t question = target.find('?');
        if (question != std::string_view::npos)
            request.query = target.substr(question + 1);
        std::optional<std::string> path = PercentDecode(target.substr(0, question), false);
        if (!path) {
            SendCannedResponse(*connection, m_counters, 400);
            return;
        }
        request.path = std::move(*path);
        request.head = std::move(head);
        request.peer = peer;
        request.secure = m_options.tls != nullptr;

        BodyReader body(io, analysis->kind, analysis->contentLength);
        ResponseWriter response(io, request, analysis->keepAlive);
        if (body.HasBody() && !body.IsComplete() &&
            HeaderHasToken(request.head, "expect", "100-continue"))
            io.Send(kContinue);

        m_handler.Handle(request, body, response);

        if (!response.HeadSent()) {
            response.AddHeader("Content-Type", "text/plain; charset=utf-8");
            response.Begin(500, kInternalError.size());
            response.Write(std::as_bytes(std::span(kInternalError)));
            response.Finish();
        }

        if (!response.IsComplete() || body.HasFailed() || response.ClosesAfter())
            return;
        // Read past what the handler left unread, up to the drain limit; a
        // longer body costs more than a new connection would.
        std::uint64_t drained = 0;
        std::array<std::byte, kDrainPiece> sink;
        while (!body.IsComplete()) {
            std::size_t count = 0;
            if (!body.Read(sink, count))
                return;
            drained += count;
            if (drained > kMaxDrainBytes)
                return;
        }
    }
}

} // namespace Velto::Corvane
