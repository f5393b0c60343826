#pragma once

#include "base/unique_fd.h"
#include "server/tls/tls_credentials.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_over_connection.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Velto::Testing {

// A fresh folder under the system's temporary directory, removed afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The server certificate of a test: created in a store inside `folder`, also
// written as cert.pem / key.pem for the peer programs.
struct TestCertificate {
    std::filesystem::path store;
    std::u16string sha1;
    std::u16string sha256;
    std::filesystem::path certPem;
    std::filesystem::path keyPem;
};
TestCertificate MakeTestCertificate(const std::filesystem::path& folder);

Net::TlsConfig ServerConfigFor(const TestCertificate& certificate);

// A connected loopback socket pair end: connects to 127.0.0.1:port.
UniqueFd ConnectLoopback(std::uint16_t port);

// Accepts loopback connections one after another, runs the handshake on each
// and hands the wrapped connection to the handler on the server's thread.
class TlsTestServer {
public:
    using Handler = std::function<void(Net::TlsOverConnection&)>;
    // Optional decorator of the accepted TCP connection (to watch its traffic).
    using InnerWrap =
        std::function<std::shared_ptr<Net::IConnection>(std::shared_ptr<Net::IConnection>)>;

    TlsTestServer(std::shared_ptr<const Net::TlsCredentials> credentials, Handler handler,
                  std::uint32_t handshakeTimeoutMs = Net::kServerHandshakeTimeoutMs,
                  InnerWrap innerWrap = {});
    ~TlsTestServer();

    std::uint16_t Port() const { return m_port; }
    // The handshake result of the next connection (waits for it).
    Result NextHandshakeResult();
    // Waits until the handler of the current connection has returned.
    void WaitHandlerDone();

private:
    void Run();

    std::shared_ptr<const Net::TlsCredentials> m_credentials;
    Handler m_handler;
    std::uint32_t m_timeoutMs;
    InnerWrap m_innerWrap;
    UniqueFd m_listener;
    std::uint16_t m_port{0};
    std::mutex m_mutex; // guards m_results and m_handlersDone
    std::condition_variable m_changed;
    std::deque<Result> m_results;
    int m_handlersDone{0};
    int m_handlersWaited{0};
    std::thread m_thread;
};

// Echo handler: answers each received line with "ECHO:" + line; records the
// result of the Receive that ended the loop.
struct EchoRecord {
    std::mutex mutex; // guards endResult and ended
    Result endResult{0};
    bool ended{false};
};
TlsTestServer::Handler EchoLines(std::shared_ptr<EchoRecord> record);

} // namespace Velto::Testing
