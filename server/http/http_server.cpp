#include "server/http/http_server.h"

#include "base/clock.h"
#include "base/utf.h"
#include "server/http/body_reader.h"
#include "server/http/canned_response.h"
#include "server/http/client_group.h"
#include "server/http/connection_io.h"
#include "server/http/exception_report.h"
#include "server/http/head_parser.h"
#include "server/http/listen_socket.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "server/http/response_writer.h"
#include "server/net/descriptor_limit.h"
#include "server/net/sigpipe_ignore_count.h"
#include "server/net/tcp_connection.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_over_connection.h"
#include "server/tls/tls_session.h"

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

constexpr std::uint64_t kListenToken = Net::ReadinessPoller::kWakeToken - 1;
// An idle worker wakes this often to end overdue waits, and leaves once it
// has been idle for kRetireRounds wakes while more than kSpareWorkers idle.
constexpr std::int32_t kWaitMs = 500;
constexpr int kRetireRounds = 20;
constexpr std::size_t kSpareWorkers = 2;
constexpr std::uint64_t kSweepEveryMs = 250;
// Connections taken from the listening socket per turn, so one worker
// accepting a burst does not keep others' requests waiting.
constexpr int kAcceptBatch = 64;
// Descriptors per admitted connection (its socket and files it sends), and
// for everything else the program holds.
constexpr std::uint64_t kDescriptorsPerConnection = 3;
constexpr std::uint64_t kDescriptorReserve = 1024;

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
    Result opened =
        OpenListenSocket(options.port, options.loopbackOnly, m_listenSocket, m_boundPort);
    if (Succeeded(opened))
        opened = m_poller.Open();
    if (Succeeded(opened))
        opened = m_poller.Add(m_listenSocket.Get(), kListenToken);
    if (Failed(opened)) {
        m_listenSocket.Reset();
        Net::ReleaseSigpipeIgnore();
        return opened;
    }
    Net::RaiseDescriptorLimit(options.maxConnections * kDescriptorsPerConnection +
                              kDescriptorReserve);

    const std::lock_guard lock(m_mutex);
    m_table.emplace(options.maxConnections, options.maxConnectionsPerAddress);
    m_nextSweep.store(0);
    m_running.store(true);
    for (std::size_t i = 0; i < kSpareWorkers; ++i)
        SpawnWorkerLocked();
    if (m_workers.empty()) {
        // No thread to serve with (the system is out of threads or memory):
        // the start fails like a failed listen.
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
    m_poller.Wake();
    {
        // Busy connections are woken from whatever they wait on; the workers
        // serving them then see the server stopping and close them.
        const std::lock_guard lock(m_mutex);
        for (ServedConnection* connection : m_table->All()) {
            if (connection->busy)
                connection->transport->Shutdown();
        }
    }
    for (;;) {
        std::thread thread;
        {
            const std::lock_guard lock(m_mutex);
            const auto running = std::find_if(m_workers.begin(), m_workers.end(),
                                              [](const Worker& w) { return w.thread.joinable(); });
            if (running == m_workers.end())
                break;
            thread = std::move(running->thread);
        }
        thread.join();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_workers.clear();
        m_idleWorkers = 0;
        for (ServedConnection* connection : m_table->All())
            CloseLocked(connection->id);
    }
    m_poller.Remove(m_listenSocket.Get());
    m_listenSocket.Reset();
    Net::ReleaseSigpipeIgnore();
}

void HttpServer::SpawnWorkerLocked() {
    ReapWorkersLocked();
    if (!m_running.load() || m_workers.size() >= m_options.maxConnections + kSpareWorkers)
        return;
    Worker& worker = m_workers.emplace_back();
    try {
        worker.thread = std::thread(&HttpServer::WorkerLoop, this, std::ref(worker));
        ++m_idleWorkers;
    } catch (const std::exception&) {
        // No thread now: the workers there are go on, and the next busy
        // moment tries again.
        ReportCaughtException("worker thread start");
        m_workers.pop_back();
    }
}

void HttpServer::ReapWorkersLocked() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (!it->done.load()) {
            ++it;
            continue;
        }
        if (it->thread.joinable())
            it->thread.join();
        it = m_workers.erase(it);
    }
}

void HttpServer::WorkerLoop(Worker& self) {
    int idleRounds = 0;
    // One receive buffer per worker, lent to the connection it serves, rather
    // than one made and freed per connection and request.
    const auto scratch = std::make_unique_for_overwrite<std::byte[]>(kReceivePiece);
    for (;;) {
        std::uint64_t token = 0;
        const bool ready = m_poller.Wait(kWaitMs, token);
        if (!m_running.load() || (ready && token == Net::ReadinessPoller::kWakeToken))
            break;
        if (!ready) {
            EndExpiredWaits();
            const std::lock_guard lock(m_mutex);
            if (++idleRounds >= kRetireRounds && m_idleWorkers > kSpareWorkers) {
                --m_idleWorkers;
                break;
            }
            continue;
        }
        idleRounds = 0;

        ServedConnection* connection = nullptr;
        {
            const std::lock_guard lock(m_mutex);
            // Someone must always be waiting for the next event.
            if (--m_idleWorkers == 0)
                SpawnWorkerLocked();
            if (token != kListenToken) {
                connection = m_table->Find(token);
                if (connection != nullptr && connection->busy)
                    connection = nullptr;
                if (connection != nullptr)
                    connection->busy = true;
            }
        }
        Next next = Next::Close;
        if (token == kListenToken)
            AcceptReady();
        else if (connection != nullptr)
            next = Serve(*connection, {scratch.get(), kReceivePiece});
        EndExpiredWaits();

        const std::lock_guard lock(m_mutex);
        ++m_idleWorkers;
        if (connection == nullptr)
            continue;
        if (next == Next::Wait && m_running.load()) {
            connection->busy = false;
            connection->parkedSince = TickCount64();
            connection->io->ReleaseScratch();
            if (Succeeded(m_poller.Rearm(connection->socket, connection->id)))
                continue;
        }
        CloseLocked(connection->id);
    }
    self.done.store(true); // last touch of the worker: it may now be reaped
}

void HttpServer::AcceptReady() {
    for (int i = 0; i < kAcceptBatch && m_running.load(); ++i) {
        UniqueFd socket;
        std::string peer;
        const Result accepted = AcceptConnection(m_listenSocket.Get(), socket, peer);
        if (accepted == kTimedOut)
            break; // nobody else is waiting
        if (Failed(accepted)) {
            // Out of descriptors or memory: pause rather than spin on a
            // socket that stays readable.
            std::this_thread::sleep_for(kAcceptRetryDelay);
            break;
        }
        try {
            Admit(std::move(socket), std::move(peer));
        } catch (...) {
            // Out of memory for one admission: that connection is dropped
            // (its socket closes on the way out) and accepting goes on.
            ReportCaughtException("admission");
        }
    }
    if (m_running.load())
        (void)m_poller.Rearm(m_listenSocket.Get(), kListenToken);
}

void HttpServer::Admit(UniqueFd socket, std::string peer) {
    auto connection = std::make_unique<ServedConnection>();
    connection->key = ClientGroupOf(peer);
    connection->socket = socket.Get();
    connection->transport = Net::MakeTcpConnection(socket, Utf8ToUtf16(peer));
    connection->connection = connection->transport;
    connection->peer = std::move(peer);
    // The first head is due within the header time-out of the connection's
    // start, however its bytes are spread.
    connection->deadline = DeadlineAfter(m_options.headerTimeoutMs);
    connection->parkedSince = TickCount64();
    {
        const std::lock_guard lock(m_mutex);
        if (!m_running.load())
            return;
        ConnectionTable::Admission admission = m_table->CanAdmit(connection->key);
        if (admission == ConnectionTable::Admission::TableFull) {
            if (ServedConnection* least = m_table->LeastProgressParked()) {
                CloseLocked(least->id);
                admission = m_table->CanAdmit(connection->key);
            }
        }
        if (admission == ConnectionTable::Admission::Admitted) {
            const std::uint64_t id = m_nextId++;
            const int fd = connection->socket;
            connection->id = id;
            m_table->Insert(std::move(connection));
            m_counters.activeConnections.fetch_add(1);
            if (Failed(m_poller.Add(fd, id)))
                CloseLocked(id);
            return;
        }
    }
    // Refused in clear text, even on a TLS server: no handshake for a
    // connection we will not serve.
    SendCannedResponse(*connection->transport, m_counters, 503);
    connection->transport->Close();
}

void HttpServer::CloseLocked(std::uint64_t id) {
    const std::unique_ptr<ServedConnection> connection = m_table->Take(id);
    if (!connection)
        return;
    m_poller.Remove(connection->socket);
    connection->connection->Close(); // closing the outermost closes them all
    m_counters.activeConnections.fetch_sub(1);
}

void HttpServer::EndExpiredWaits() {
    const std::uint64_t now = TickCount64();
    if (now < m_nextSweep.load(std::memory_order_relaxed))
        return;
    const std::lock_guard lock(m_mutex);
    if (now < m_nextSweep.load(std::memory_order_relaxed))
        return;
    m_nextSweep.store(now + kSweepEveryMs, std::memory_order_relaxed);
    for (const std::uint64_t id : m_table->ExpiredParked(now))
        CloseLocked(id);
}

HttpServer::Next HttpServer::Serve(ServedConnection& connection, std::span<std::byte> scratch) {
    try {
        return Advance(connection, scratch);
    } catch (...) {
        // Nothing a visitor sends or a handler does may end the process: what
        // escapes ends this connection only.
        ReportCaughtException("connection worker");
        return Next::Close;
    }
}

bool HttpServer::Prepare(ServedConnection& connection) {
    if (m_options.tls) {
        std::unique_ptr<Net::TlsSession> session;
        if (Failed(Net::NewTlsSession(m_options.tls, session)))
            return false;
        if (Failed(Net::HandshakeOverConnection(*connection.transport, *session,
                                                Net::kServerHandshakeTimeoutMs)))
            return false;
        connection.connection = Net::WrapTls(connection.transport, std::move(session));
    }
    Net::IConnection& outer = *connection.connection;
    connection.io =
        std::make_unique<ConnectionIo>(connection.connection, m_counters, connection.transport);
    // Body waits: each one may take the I/O time-out, and together they must
    // keep the minimum rate.
    connection.io->SetReceiveTimeout(m_options.ioTimeoutMs);
    const bool rated = m_options.minRateWindowMs != 0 && m_options.minRateBytes != 0;
    // Under a minimum rate a blocked send comes back at the latest when its
    // window would end, so the window is judged on time.
    outer.SetSendTimeout(rated && m_options.minRateWindowMs < m_options.ioTimeoutMs
                             ? m_options.minRateWindowMs
                             : m_options.ioTimeoutMs);
    outer.SetKeepAlive(kKeepAliveIdleMs, kKeepAliveIntervalMs);
    if (rated)
        outer.SetMinimumRate(m_options.minRateWindowMs, m_options.minRateBytes);
    return true;
}

// Heads are read without waiting: between reads the connection waits in the
// poller, so a client trickling a head holds no thread. The first head is due
// within the header time-out of the connection's start; later ones within the
// idle time-out for their first byte, then the header time-out for the rest.
HttpServer::Next HttpServer::Advance(ServedConnection& connection, std::span<std::byte> scratch) {
    if (!m_running.load() || (!connection.io && !Prepare(connection)))
        return Next::Close;
    connection.io->LendScratch(scratch);
    std::string& buffer = connection.io->Buffer();
    for (;;) {
        if (!m_running.load())
            return Next::Close;
        const HeadParseStatus status = connection.parser.Parse(buffer, kMaxHeadBytes);
        if (status == HeadParseStatus::Complete) {
            RequestHead head = std::move(connection.parser.Head());
            buffer.erase(0, connection.parser.Used());
            connection.parser = RequestHeadParser{};
            if (!ServeRequest(connection, std::move(head)))
                return Next::Close;
            ++connection.served;
            connection.awaitingFirstByte = buffer.empty();
            connection.deadline = DeadlineAfter(
                connection.awaitingFirstByte ? m_options.idleTimeoutMs : m_options.headerTimeoutMs);
            // A plain socket with nothing pending can wait at once; TLS may
            // hold decrypted bytes the poller cannot see, so it reads first.
            if (connection.awaitingFirstByte && !m_options.tls)
                return Next::Wait;
            continue;
        }
        if (status == HeadParseStatus::Error) {
            SendCannedResponse(*connection.connection, m_counters,
                               buffer.size() >= kMaxHeadBytes ? 431 : 400);
            return Next::Close;
        }
        if (connection.deadline != 0 && TickCount64() >= connection.deadline)
            return Next::Close;
        switch (connection.io->ReceiveAvailable()) {
        case ConnectionIo::Arrival::Bytes:
            if (connection.awaitingFirstByte) {
                connection.awaitingFirstByte = false;
                connection.deadline = DeadlineAfter(m_options.headerTimeoutMs);
            }
            break;
        case ConnectionIo::Arrival::Nothing:
            return Next::Wait;
        case ConnectionIo::Arrival::Closed:
            return Next::Close;
        }
    }
}

bool HttpServer::ServeRequest(ServedConnection& connection, RequestHead head) {
    Net::IConnection& outer = *connection.connection;
    const std::optional<HeadAnalysis> analysis = AnalyseHead(head);
    if (!analysis || (head.version == 1 && CountHeaders(head, "host") != 1)) {
        SendCannedResponse(outer, m_counters, 400);
        return false;
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
        SendCannedResponse(outer, m_counters, 400);
        return false;
    }
    request.path = std::move(*path);
    request.head = std::move(head);
    request.peer = connection.peer;
    request.secure = m_options.tls != nullptr;

    ConnectionIo& io = *connection.io;
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
        return false;
    // Read past what the handler left unread, up to the drain limit; a
    // longer body costs more than a new connection would.
    std::uint64_t drained = 0;
    std::array<std::byte, kDrainPiece> sink;
    while (!body.IsComplete()) {
        std::size_t count = 0;
        if (!body.Read(sink, count))
            return false;
        drained += count;
        if (drained > kMaxDrainBytes)
            return false;
    }
    return true;
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
