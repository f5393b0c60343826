#include "server/http/http_server.h"

#include "base/clock.h"
#include "base/utf.h"
#include "server/http/body_reader.h"
#include "server/http/canned_response.h"
#include "server/http/connection_io.h"
#include "server/http/exception_report.h"
#include "server/http/head_parser.h"
#include "server/http/listen_socket.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "server/http/response_writer.h"
#include "server/net/sigpipe_ignore_count.h"
#include "server/net/tcp_connection.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_over_connection.h"
#include "server/tls/tls_session.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>

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
// Start could not get a thread for accepting.
constexpr Result kNoThread = kOutOfMemory;

// The TickCount64 deadline `ms` from now; 0 (no time-out) gives no deadline.
std::uint64_t DeadlineAfter(std::uint32_t ms) {
    return ms == 0 ? 0 : TickCount64() + ms;
}

} // namespace

Result HttpServer::Start(const ServerOptions& options) {
    if (m_running.load())
        return kAlreadyRunning;
    const Result acquired = Net::AcquireSigpipeIgnore();
    if (Failed(acquired))
        return acquired;

    m_options = options;
    const Result opened =
        OpenListenSocket(options.port, options.loopbackOnly, m_listenSocket, m_boundPort);
    if (Failed(opened)) {
        Net::ReleaseSigpipeIgnore();
        return opened;
    }
    m_running.store(true);
    try {
        m_acceptThread = std::thread(&HttpServer::AcceptLoop, this);
    } catch (const std::exception&) {
        // No thread to accept with (the system is out of threads or memory):
        // the start fails like a failed listen.
        ReportCaughtException("HttpServer::Start");
        m_running.store(false);
        m_listenSocket.Reset();
        Net::ReleaseSigpipeIgnore();
        return kNoThread;
    }
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
    Net::ReleaseSigpipeIgnore();
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

bool HttpServer::AdmitsLocked(const std::string& peer) const {
    if (m_slots.size() >= m_options.maxConnections)
        return false;
    const auto fromPeer =
        std::count_if(m_slots.begin(), m_slots.end(),
                      [&](const ConnectionSlot& slot) { return slot.peer == peer; });
    return static_cast<std::uint64_t>(fromPeer) < m_options.maxConnectionsPerAddress;
}

void HttpServer::AcceptLoop() {
    while (m_running.load()) {
        try {
            AcceptOne();
        } catch (...) {
            // Out of memory for one admission: that connection is dropped
            // (its socket closes on the way out) and accepting goes on.
            ReportCaughtException("accept loop");
            std::this_thread::sleep_for(kAcceptRetryDelay);
        }
    }
}

void HttpServer::AcceptOne() {
    UniqueFd socket;
    std::string peer;
    if (Failed(AcceptConnection(m_listenSocket.Get(), socket, peer))) {
        if (m_running.load())
            std::this_thread::sleep_for(kAcceptRetryDelay);
        return;
    }

    const std::lock_guard lock(m_mutex);
    ReapFinishedSlots();
    if (m_running.load() && AdmitsLocked(peer)) {
        ConnectionSlot& slot = m_slots.emplace_back();
        slot.peer = std::move(peer);
        slot.socket = std::move(socket);
        try {
            slot.thread = std::thread(&HttpServer::RunConnection, this, std::ref(slot));
            return;
        } catch (const std::exception&) {
            // No thread for it: the socket is still the slot's, so the client
            // hears the same refusal as when every slot is taken.
            ReportCaughtException("connection thread start");
            socket = std::move(slot.socket);
            m_slots.pop_back();
        }
    }
    // Refused in clear text, even on a TLS server: no handshake for a
    // connection we will not serve.
    std::unique_ptr<Net::IConnection> refused = Net::MakeTcpConnection(socket, u"");
    SendCannedResponse(*refused, m_counters, 503);
    refused->Close();
}

void HttpServer::Publish(ConnectionSlot& slot, std::shared_ptr<Net::IConnection> connection) {
    const std::lock_guard lock(m_mutex);
    slot.connection = std::move(connection);
}

void HttpServer::RunConnection(ConnectionSlot& slot) {
    m_counters.activeConnections.fetch_add(1);
    std::shared_ptr<Net::IConnection> connection;
    try {
        connection = Net::MakeTcpConnection(slot.socket, Utf8ToUtf16(slot.peer));
        Publish(slot, connection);
        ServeConnection(connection, slot);
    } catch (...) {
        // Nothing a visitor sends or a handler does may end the process: what
        // escapes ends this connection only.
        ReportCaughtException("connection thread");
    }

    if (connection)
        connection->Close();
    slot.socket.Reset();
    {
        const std::lock_guard lock(m_mutex);
        slot.connection.reset();
    }
    connection.reset();
    m_counters.activeConnections.fetch_sub(1);
    slot.done.store(true); // last touch of the slot: the accept thread may now reap it
}

void HttpServer::ServeConnection(std::shared_ptr<Net::IConnection>& connection,
                                 ConnectionSlot& slot) {
    if (!m_running.load())
        return;
    const std::shared_ptr<Net::IConnection> transport = connection;
    std::shared_ptr<Net::IConnection> outer =
        m_options.tls ? WrapInTls(transport, slot) : transport;
    if (!outer)
        return;
    connection = outer; // closing the outermost connection closes them all
    outer->SetSendTimeout(m_options.ioTimeoutMs);
    outer->SetKeepAlive(kKeepAliveIdleMs, kKeepAliveIntervalMs);
    ServeRequests(outer, transport, slot.peer);
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
                               const std::shared_ptr<Net::IConnection>& transport,
                               const std::string& peer) {
    ConnectionIo io(connection, m_counters, transport);
    std::string& buffer = io.Buffer();
    // Body waits: each one may take the I/O time-out.
    io.SetReceiveTimeout(m_options.ioTimeoutMs);
    // Heads run against deadlines rather than per-receive time-outs, so a
    // client trickling bytes cannot keep its slot: the first head is due
    // within the header time-out of the connection's start; later ones within
    // the idle time-out for their first byte, then the header time-out for the
    // rest of the head.
    std::uint64_t deadline = DeadlineAfter(m_options.headerTimeoutMs);
    bool firstRequest = true;

    while (m_running.load()) {
        bool awaitingFirstByte = false;
        if (!firstRequest) {
            awaitingFirstByte = buffer.empty();
            deadline = DeadlineAfter(awaitingFirstByte ? m_options.idleTimeoutMs
                                                       : m_options.headerTimeoutMs);
        }
        firstRequest = false;
        io.SetReceiveDeadline(deadline);

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
            if (awaitingFirstByte && !buffer.empty()) {
                awaitingFirstByte = false;
                io.SetReceiveDeadline(DeadlineAfter(m_options.headerTimeoutMs));
            }
            if (!io.ReceiveMore())
                return;
        }
        RequestHead head = std::move(parser.Head());
        buffer.erase(0, parser.Used());
        io.SetReceiveDeadline(0);

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

        CallHandler(request, body, response);

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

void HttpServer::CallHandler(const HttpRequest& request, HttpBody& body, HttpResponse& response) {
    try {
        m_handler.Handle(request, body, response);
    } catch (...) {
        // A handler that throws has left its response in an unknown state:
        // the visitor gets the 500 when nothing was sent yet, and the
        // connection closes either way.
        ReportCaughtException("request handler");
        response.CloseAfter();
    }
}

} // namespace Velto::Corvane
