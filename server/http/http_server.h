#pragma once

#include "base/result.h"
#include "base/unique_fd.h"
#include "server/http/http_handler.h"
#include "server/http/server_counters.h"
#include "server/http/server_options.h"
#include "server/net/connection.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Velto::Corvane {

// Start on a server that is already running.
constexpr Result kAlreadyRunning = static_cast<Result>(0x800704DFu);

// HTTP/1.1 server: one accept thread, one thread per admitted connection
// (at most maxConnections), strict head parsing, and every request handed to
// one handler.
class HttpServer {
public:
    explicit HttpServer(IHttpHandler& handler) : m_handler(handler) {}
    ~HttpServer() { Stop(); }

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    Result Start(const ServerOptions& options);
    // Stops accepting, wakes and joins every connection thread. Idempotent.
    void Stop();

    bool IsRunning() const { return m_running.load(); }
    std::uint16_t BoundPort() const { return m_boundPort; }
    std::uint64_t BytesSent() const { return m_counters.bytesSent.load(); }
    std::uint64_t BytesReceived() const { return m_counters.bytesReceived.load(); }
    std::int32_t ActiveConnections() const { return m_counters.activeConnections.load(); }

private:
    struct ConnectionSlot {
        std::shared_ptr<Net::IConnection> connection; // published while the connection runs
        std::thread thread;
        std::atomic<bool> done{false};
        std::string peer; // the client's address text, fixed at admission
        UniqueFd socket;  // the accepted socket, until its thread wraps it
    };

    void AcceptLoop();
    void AcceptOne();
    void ReapFinishedSlots();
    // Whether a connection from `peer` may have a slot now (m_mutex held).
    bool AdmitsLocked(const std::string& peer) const;
    void RunConnection(ConnectionSlot& slot);
    // Wraps the connection in TLS when configured (`connection` becomes the
    // outermost one) and serves its requests.
    void ServeConnection(std::shared_ptr<Net::IConnection>& connection, ConnectionSlot& slot);
    void ServeRequests(const std::shared_ptr<Net::IConnection>& connection,
                       const std::shared_ptr<Net::IConnection>& transport, const std::string& peer);
    // Calls the handler; whatever it throws ends this connection only.
    void CallHandler(const HttpRequest& request, HttpBody& body, HttpResponse& response);
    std::shared_ptr<Net::IConnection> WrapInTls(const std::shared_ptr<Net::IConnection>& tcp,
                                                ConnectionSlot& slot);
    void Publish(ConnectionSlot& slot, std::shared_ptr<Net::IConnection> connection);

    IHttpHandler& m_handler;
    ServerOptions m_options;
    std::atomic<bool> m_running{false};
    std::uint16_t m_boundPort{0};
    UniqueFd m_listenSocket;
    std::thread m_acceptThread;
    std::mutex m_mutex;                // guards m_slots and each slot's connection
    std::list<ConnectionSlot> m_slots; // stable addresses while threads run
    ServerCounters m_counters;
};

} // namespace Velto::Corvane
