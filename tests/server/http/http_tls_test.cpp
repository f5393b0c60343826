#include "server/http/canned_response.h"
#include "server/http/http_server.h"
#include "server/tls/tls_credentials.h"
#include "tests/server/http/patient_options.h"
#include "tests/server/http/test_handler.h"
#include "tests/support/http_client.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace Velto::Testing {
namespace {

namespace fs = std::filesystem;
using Corvane::Testing::HttpClient;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a shell command line; returns its exit status.
int RunShell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A TLS server over real credentials made from a PFX that the openssl tool
// wrote, talked to by curl.
class HttpTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/velto-http-tls-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_folder = pattern;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
            const fs::path dir = s_folder / name;
            fs::create_directories(dir);
            ::setenv(name, dir.c_str(), 1);
        }
        const std::string f = s_folder.string();
        ASSERT_EQ(RunShell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + f +
                           "/key.pem -out " + f +
                           "/cert.pem -days 2 -subj /CN=localhost >/dev/null 2>&1"),
                  0);
        ASSERT_EQ(RunShell("openssl pkcs12 -export -inkey " + f + "/key.pem -in " + f +
                           "/cert.pem -out " + f +
                           "/server.pfx -passout pass:secret >/dev/null 2>&1"),
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(s_folder); }

    void SetUp() override {
        Net::TlsConfig config;
        config.role = Net::TlsRole::Server;
        config.pfxPath = (s_folder / "server.pfx").u16string();
        config.pfxPassword = u"secret";
        ASSERT_EQ(Net::AcquireSchannelCreds(config, credentials), kOk);
        ASSERT_EQ(server.Start(Options()), kOk);
    }

    Corvane::ServerOptions Options() const {
        Corvane::ServerOptions options = LoopbackOptions();
        options.tls = credentials;
        options.maxConnectionsPerAddress = 2;
        return options;
    }

    std::string Url(const std::string& target) const {
        return "https://127.0.0.1:" + std::to_string(server.BoundPort()) + target;
    }

    // curl's exit status; the body goes to `out`.
    int Curl(const std::string& arguments, const fs::path& out) {
        return RunShell("curl -sS -k --noproxy '*' --max-time 120 " + arguments + " -o " +
                        out.string() + " 2>/dev/null");
    }

    static inline fs::path s_folder;
    std::shared_ptr<const Net::TlsCredentials> credentials;
    TestHandler handler;
    Corvane::HttpServer server{handler};
};

TEST_F(HttpTlsTest, RequestsAreServedOverTls) {
    const fs::path out = s_folder / "info.txt";
    ASSERT_EQ(Curl("'" + Url("/info?x=1") + "'", out), 0);
    EXPECT_EQ(ReadFile(out), "GET|/info|x=1|127.0.0.1|1");

    // Keep-alive, a request body and a chunked response on one TLS connection.
    ASSERT_EQ(Curl("--data-binary hello '" + Url("/echo") + "' -o " + (s_folder / "c1").string() +
                       " '" + Url("/chunked") + "'",
                   s_folder / "c2"),
              0);
    EXPECT_EQ(ReadFile(s_folder / "c1"), "hello");
    EXPECT_EQ(ReadFile(s_folder / "c2"), "hello world");
}

TEST_F(HttpTlsTest, FileBodiesTakeTheCopyingPathOverTls) {
    const fs::path source = s_folder / "payload.bin";
    std::string content(1500 * 1024, '\0');
    std::mt19937 random(3);
    for (char& c : content)
        c = static_cast<char>(random());
    std::ofstream(source, std::ios::binary) << content;

    const fs::path out = s_folder / "download.bin";
    ASSERT_EQ(
        Curl("'" + Url("/file?path=" + source.string() + "&offset=4096&length=1400000") + "'", out),
        0);
    EXPECT_TRUE(ReadFile(out) == content.substr(4096, 1400000));
}

TEST_F(HttpTlsTest, FailedHandshakesCloseWithoutAReply) {
    // Plain HTTP to a TLS port: the handshake fails and no HTTP answer comes
    // back (at most a TLS alert), and the handler never runs.
    HttpClient plain(server.BoundPort());
    ASSERT_TRUE(plain.IsConnected());
    plain.SendRaw("GET /info HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_FALSE(plain.ReadUntilClose().starts_with("HTTP/"));
    EXPECT_TRUE(handler.Seen().empty());

    // TLS 1.1 and older are refused.
    EXPECT_NE(Curl("--tls-max 1.1 '" + Url("/info") + "'", s_folder / "old.txt"), 0);

    // The server carries on.
    const fs::path out = s_folder / "after.txt";
    ASSERT_EQ(Curl("'" + Url("/info") + "'", out), 0);
    EXPECT_EQ(ReadFile(out), "GET|/info||127.0.0.1|1");
}

// A TLS client that completes the handshake, then sends one record holding a
// whole request head a byte at a time. Prints "closed <ms>" when the server
// closes the connection, counted from the first byte of the record, or
// "served" when an answer comes back.
constexpr std::string_view kTrickleClient = R"(
import select, socket, ssl, sys, time
context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
context.check_hostname = False
context.verify_mode = ssl.CERT_NONE
incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
tls = context.wrap_bio(incoming, outgoing)
sock = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
while True:
    try:
        tls.do_handshake()
        break
    except ssl.SSLWantReadError:
        sock.sendall(outgoing.read())
        incoming.write(sock.recv(65536))
sock.sendall(outgoing.read())
tls.write(b"GET /info?trickled HTTP/1.1\r\nHost: t\r\nX-Pad: " + b"p" * 40 + b"\r\n\r\n")
record = outgoing.read()
start = time.monotonic()
for byte in record:
    try:
        sock.send(bytes([byte]))
    except OSError:
        break
    end = time.monotonic() + 0.25
    while time.monotonic() < end:
        if select.select([sock], [], [], max(0, end - time.monotonic()))[0]:
            try:
                data = sock.recv(65536)
            except OSError:
                data = b""
            if not data:
                print("closed", int((time.monotonic() - start) * 1000))
                sys.exit(0)
            incoming.write(data)
            try:
                if tls.read(65536):
                    print("served")
                    sys.exit(0)
            except ssl.SSLError:
                pass
print("served")
)";

TEST_F(HttpTlsTest, RecordTrickledByteByByteIsDroppedAtTheHeadDeadline) {
    constexpr int kHeaderMs = 2000;
    server.Stop();
    Corvane::ServerOptions options = Options();
    options.headerTimeoutMs = kHeaderMs;
    ASSERT_EQ(server.Start(options), kOk);
    const fs::path script = s_folder / "trickle.py";
    std::ofstream(script) << kTrickleClient;

    FILE* client = ::popen(
        ("python3 " + script.string() + " " + std::to_string(server.BoundPort())).c_str(), "r");
    ASSERT_NE(client, nullptr);
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, client) != nullptr;
    ::pclose(client);
    ASSERT_TRUE(read);
    // The record alone would take 20 s; its bytes come every 250 ms, far
    // inside any per-receive time-out.
    int closedAfterMs = -1;
    ASSERT_EQ(std::sscanf(line, "closed %d", &closedAfterMs), 1) << line;
    EXPECT_LT(closedAfterMs, kHeaderMs + 3000);
    EXPECT_TRUE(handler.Seen().empty());
}

TEST_F(HttpTlsTest, RefusalAtTheConnectionLimitIsInClearText) {
    // Two silent connections hold the address's two places while their
    // handshakes wait.
    HttpClient first(server.BoundPort());
    HttpClient second(server.BoundPort());
    HttpClient refused(server.BoundPort());
    ASSERT_TRUE(refused.IsConnected());
    EXPECT_EQ(refused.ReadUntilClose(), Corvane::CannedResponse(503));
}

} // namespace
} // namespace Velto::Testing
