#include "tests/server/tls/tls_test_support.h"

#include "server/cert/self_signed_certificate.h"
#include "server/net/tcp_connection.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_session.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <sys/socket.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace Velto::Testing {
namespace {

// Every test binary of this folder keeps HOME and the XDG folders inside a
// temporary directory.
class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override {
        m_home = std::make_unique<TempFolder>();
        const auto set = [&](const char* name, const char* sub) {
            const auto dir = m_home->Path() / sub;
            std::filesystem::create_directories(dir);
            ::setenv(name, dir.c_str(), 1);
        };
        set("HOME", "home");
        set("XDG_CONFIG_HOME", "config");
        set("XDG_DATA_HOME", "data");
        set("XDG_STATE_HOME", "state");
        set("XDG_CACHE_HOME", "cache");
        set("XDG_RUNTIME_DIR", "runtime");
    }
    void TearDown() override { m_home.reset(); }

private:
    std::unique_ptr<TempFolder> m_home;
};

[[maybe_unused]] const auto* const kPrivateHome =
    ::testing::AddGlobalTestEnvironment(new PrivateHome());

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TempFolder::TempFolder() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("velto-tls-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

TestCertificate MakeTestCertificate(const std::filesystem::path& folder) {
    TestCertificate made;
    made.store = folder / "store";
    Corvane::CertificateThumbprints thumbprints;
    const Result created = Corvane::CreateSelfSignedCertificate(
        made.store, {u"VeltoCorvaneTest-", u"CN=VeltoCorvane Test", u"VeltoCorvane Test"},
        thumbprints);
    EXPECT_EQ(created, kOk);
    made.sha1 = thumbprints.sha1;
    made.sha256 = thumbprints.sha256;

    // Plain PEM copies for the peer programs.
    const std::string sha1(thumbprints.sha1.begin(), thumbprints.sha1.end());
    const std::string stored = FileText(made.store / "certs" / (sha1 + ".pem"));
    made.certPem = folder / "cert.pem";
    std::ofstream(made.certPem) << stored.substr(stored.find("-----BEGIN"));
    for (const auto& entry : std::filesystem::directory_iterator(made.store / "keys"))
        made.keyPem = entry.path();
    return made;
}

Net::TlsConfig ServerConfigFor(const TestCertificate& certificate) {
    Net::TlsConfig config;
    config.role = Net::TlsRole::Server;
    config.thumbprint = certificate.sha1;
    config.storeDirectory = certificate.store;
    return config;
}

UniqueFd ConnectLoopback(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        fd.Reset();
    return fd;
}

TlsTestServer::TlsTestServer(std::shared_ptr<const Net::TlsCredentials> credentials,
                             Handler handler, std::uint32_t handshakeTimeoutMs, InnerWrap innerWrap)
    : m_credentials(std::move(credentials)), m_handler(std::move(handler)),
      m_timeoutMs(handshakeTimeoutMs), m_innerWrap(std::move(innerWrap)) {
    m_listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener.Get(), 16) != 0 ||
        ::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot listen on loopback";
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

TlsTestServer::~TlsTestServer() {
    ::shutdown(m_listener.Get(), SHUT_RDWR);
    if (m_thread.joinable())
        m_thread.join();
}

void TlsTestServer::Run() {
    for (;;) {
        UniqueFd accepted(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!accepted)
            return;
        std::shared_ptr<Net::IConnection> connection =
            Net::MakeTcpConnection(accepted, u"test peer");
        if (m_innerWrap)
            connection = m_innerWrap(connection);
        std::unique_ptr<Net::TlsSession> session;
        Result result = Net::NewTlsSession(m_credentials, session);
        if (Succeeded(result))
            result = Net::HandshakeOverConnection(*connection, *session, m_timeoutMs);
        {
            const std::lock_guard lock(m_mutex);
            m_results.push_back(result);
        }
        m_changed.notify_all();
        if (Succeeded(result)) {
            auto tls = Net::WrapTls(connection, std::move(session));
            // A safety net so a broken client cannot hang the test.
            tls->SetReceiveTimeout(30000);
            m_handler(*tls);
        } else {
            connection->Close();
        }
        {
            const std::lock_guard lock(m_mutex);
            ++m_handlersDone;
        }
        m_changed.notify_all();
    }
}

Result TlsTestServer::NextHandshakeResult() {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return !m_results.empty(); }))
        return kTimedOut;
    const Result result = m_results.front();
    m_results.pop_front();
    return result;
}

void TlsTestServer::WaitHandlerDone() {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(60),
                       [&] { return m_handlersDone > m_handlersWaited; });
    ++m_handlersWaited;
}

TlsTestServer::Handler EchoLines(std::shared_ptr<EchoRecord> record) {
    return [record](Net::TlsOverConnection& connection) {
        std::string pending;
        std::byte buffer[4096];
        Result end = kOk;
        for (;;) {
            std::uint32_t received = 0;
            end = connection.Receive(buffer, received);
            if (Failed(end) || received == 0)
                break;
            pending.append(reinterpret_cast<const char*>(buffer), received);
            for (std::size_t eol = pending.find('\n'); eol != std::string::npos;
                 eol = pending.find('\n')) {
                const std::string reply = "ECHO:" + pending.substr(0, eol) + "\n";
                pending.erase(0, eol + 1);
                connection.Send(std::as_bytes(std::span(reply.data(), reply.size())));
            }
        }
        const std::lock_guard lock(record->mutex);
        record->endResult = end;
        record->ended = true;
    };
}

} // namespace Velto::Testing
