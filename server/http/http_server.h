#pragma once

#include "base/result.h"
#include "base/unique_fd.h"
#include "server/http/connection_table.h"
#include "server/http/http_handler.h"
#include "server/http/server_counters.h"
#include "server/http/server_options.h"
#include "server/net/connection.h"
#include "server/net/readiness_poller.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

namespace Velto::Corvane {

// Start on a server that is already running.
constexpr Result kAlreadyRunning = static_cast<Result>(0x800704DFu);

// HTTP/1.1 server. Connections wait for their next bytes in one poller and
// hold no thread while they do; a pool of worker threads, grown on demand up
// to one per admitted connection, takes each connection that has bytes and
// runs its requests, strictly parsed and handed to one handler, until it has
// to wait again. The workers also accept, and end connections whose head is
// overdue.
class HttpServer {
public:
    explicit HttpServer(IHttpHandler& handler) : m_handler(handler) {}
    ~HttpServer() { Stop(); }

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    Result Start(const ServerOptions& options);
    // Stops accepting, wakes every busy connection, joins the workers and
    // closes every connection. Idempotent.
    void Stop();

    bool IsRunning() const { return m_running.load(); }
    std::uint16_t BoundPort() const { return m_boundPort; }
    std::uint64_t BytesSent() const { return m_counters.bytesSent.load(); }
    std::uint64_t BytesReceived() const { return m_counters.bytesReceived.load(); }
    std::int32_t ActiveConnections() const { return m_counters.activeConnections.load(); }

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    // What a connection needs after a worker has served what it could.
    enum class Next { Wait, Close };

    void WorkerLoop(Worker& self);
    // Accepts what the listening socket holds, then watches it again.
    void AcceptReady();
    void Admit(UniqueFd socket, std::string peer);
    // Serves a connection this worker has taken; whatever escapes ends it.
    // `scratch` is the worker's receive buffer, lent to the connection.
    Next Serve(ServedConnection& connection, std::span<std::byte> scratch);
    // Reads and runs requests until the connection must wait for its client.
    Next Advance(ServedConnection& connection, std::span<std::byte> scratch);
    // Handshakes (TLS) and sets the connection up for requests.
    bool Prepare(ServedConnection& connection);
    // Runs one parsed request; whether the connection may carry another.
    bool ServeRequest(ServedConnection& connection, RequestHead head);
    // Calls the handler; whatever it throws ends this connection only.
    void CallHandler(const HttpRequest& request, HttpBody& body, HttpResponse& response);
    void EndExpiredWaits();
    // Removes the connection from the table and the poller and closes it.
    // m_mutex held.
    void CloseLocked(std::uint64_t id);
    void SpawnWorkerLocked();
    void ReapWorkersLocked();

    IHttpHandler& m_handler;
    ServerOptions m_options;
    std::atomic<bool> m_running{false};
    std::uint16_t m_boundPort{0};
    UniqueFd m_listenSocket;
    Net::ReadinessPoller m_poller;
    std::mutex m_mutex; // guards everything below
    std::optional<ConnectionTable> m_table;
    std::uint64_t m_nextId{1};
    std::atomic<std::uint64_t> m_nextSweep{0}; // when EndExpiredWaits next looks
    std::list<Worker> m_workers;               // stable addresses while threads run
    std::size_t m_idleWorkers{0};
    ServerCounters m_counters;
};

} // namespace Velto::Corvane
