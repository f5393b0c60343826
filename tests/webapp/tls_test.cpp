// The web application behind the server with TLS: the secure flag, cookies
// marked Secure, and downloads through the encrypted read loop.
#include "tests/webapp/web_app_fixture.h"

#include "server/tls/tls_credentials.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

int RunShell(const std::string& command) {
    return std::system(command.c_str());
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class OverTls : public WebAppFixture {
protected:
    void ConfigureServer(ServerOptions& options) override {
        const std::string dir = (Root() / "home").string();
        ASSERT_EQ(RunShell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + dir +
                           "/key.pem -out " + dir +
                           "/cert.pem -days 2 -subj /CN=localhost >/dev/null 2>&1"),
                  0);
        ASSERT_EQ(RunShell("openssl pkcs12 -export -inkey " + dir + "/key.pem -in " + dir +
                           "/cert.pem -out " + dir + "/server.pfx -passout pass:secret"),
                  0);
        Net::TlsConfig config;
        config.role = Net::TlsRole::Server;
        config.pfxPath = (Root() / "home" / "server.pfx").u16string();
        config.pfxPassword = u"secret";
        std::shared_ptr<const Net::TlsCredentials> credentials;
        ASSERT_EQ(Net::AcquireSchannelCreds(config, credentials), kOk);
        options.tls = credentials;
    }

    // Runs curl against the server; returns the body, with the response head
    // in `head`.
    std::string Curl(const std::string& arguments, const std::string& target, std::string& head) {
        const std::filesystem::path body = Root() / "curl-body";
        const std::filesystem::path headers = Root() / "curl-head";
        const std::string url = "https://127.0.0.1:" + std::to_string(Port()) + target;
        EXPECT_EQ(RunShell("curl -sS -k --max-time 120 " + arguments + " -D " + headers.string() +
                           " -o " + body.string() + " '" + url + "'"),
                  0);
        head = ReadAll(headers);
        return ReadAll(body);
    }
};

TEST_F(OverTls, SessionsKnowTheyAreSecureAndCookiesSaySo) {
    std::filesystem::create_directories(Files() / "docs");
    Config config;
    config.shares.push_back(MakeShare("00000000000000e1", u"docs", Files() / "docs",
                                      AccessFlags::Read, TestHash("sesame")));
    config.accounts.push_back(MakeAccount(u"alice", "a"));
    Apply(config);

    std::string head;
    EXPECT_EQ(Curl("", "/api/session", head), R"({"user":null,"accounts":true,"secure":true})");

    const std::string marker = "-H 'x-veltocorvane: 1' -H 'Content-Type: application/json' ";
    EXPECT_EQ(Curl(marker + R"(--data '{"name":"alice","password":"a"}')", "/api/login", head),
              R"({"user":"alice"})");
    EXPECT_NE(head.find("Set-Cookie: vcs="), std::string::npos) << head;
    EXPECT_NE(head.find("; Path=/; HttpOnly; SameSite=Strict; Secure\r\n"), std::string::npos)
        << head;

    EXPECT_EQ(
        Curl(marker + R"(--data '{"share":"docs","password":"sesame"}')", "/api/unlock", head),
        "{}");
    EXPECT_NE(head.find("; Path=/; HttpOnly; SameSite=Strict; Secure\r\n"), std::string::npos)
        << head;

    EXPECT_EQ(Curl(marker + "--data ''", "/api/logout", head), "{}");
    EXPECT_NE(head.find("Set-Cookie: vcs=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0; Secure"),
              std::string::npos)
        << head;
}

TEST_F(OverTls, DownloadsArriveIntact) {
    std::string bytes(3 * 1024 * 1024 + 7, '\0');
    std::mt19937 random(7);
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    WriteFile("docs/big.bin", bytes);
    Config config;
    config.shares.push_back(MakeShare("00000000000000e2", u"docs", Files() / "docs"));
    Apply(config);

    std::string head;
    EXPECT_TRUE(Curl("", "/files/docs/big.bin", head) == bytes);
    EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n")) << head;
    EXPECT_TRUE(Curl("-r 1000-299999", "/files/docs/big.bin", head) == bytes.substr(1000, 299'000));
    EXPECT_TRUE(head.starts_with("HTTP/1.1 206 ")) << head;
    EXPECT_NE(head.find("Content-Range: bytes 1000-299999/" + std::to_string(bytes.size())),
              std::string::npos);
}

} // namespace
} // namespace Velto::Corvane::Testing
