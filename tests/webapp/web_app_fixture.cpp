#include "tests/webapp/web_app_fixture.h"

#include "base/system_random.h"
#include "base/utf.h"
#include "config/password_hash.h"
#include "server/http/request_helpers.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace Velto::Corvane::Testing {

namespace {

// Bound on waiting for the server's connections to end (in 1 ms steps); a
// safety net against a hang, not a measure of speed.
constexpr int kIdleWaitSteps = 30'000;
constexpr int kSettleSteps = 200;

// Sends everything to the web application, except GET "/test/gate", which
// runs the share gate for the rights named by "need" (r, w, d letters) and
// answers 200 with the granted rights when the gate lets the visitor through.
// The gate is exercised for rights no route of this build asks for yet.
class GateProbeHandler final : public IHttpHandler {
public:
    explicit GateProbeHandler(WebApp& app) : m_app(app) {}

    void Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response) override {
        if (request.path != "/test/gate")
            return m_app.Handle(request, body, response);
        WebApp::Context context = m_app.MakeContext(request, body, response);
        AccessFlags need = AccessFlags::None;
        for (const char letter : QueryParam(request, "need")) {
            if (letter == 'r')
                need |= AccessFlags::Read;
            if (letter == 'w')
                need |= AccessFlags::Write;
            if (letter == 'd')
                need |= AccessFlags::Delete;
        }
        ShareTarget target;
        if (!m_app.OpenShare(context, Utf8ToUtf16(QueryParam(request, "share")),
                             Utf8ToUtf16(QueryParam(request, "path")), need, target))
            return;
        JsonValue reply = JsonValue::MakeObject();
        reply.Set("rights", JsonValue(static_cast<double>(target.rights)));
        reply.Set("display", JsonValue(Utf16ToUtf8(target.DisplayPath())));
        WebApp::SendJson(response, 200, reply);
    }

private:
    WebApp& m_app;
};

} // namespace

std::string TestHash(std::string_view password) {
    const std::string hash = HashPassword(password, kTestIterations);
    EXPECT_FALSE(hash.empty());
    return hash;
}

Share MakeShare(std::string id, std::u16string name, const std::filesystem::path& path,
                AccessFlags guest, std::string passwordHash) {
    Share share;
    share.id = std::move(id);
    share.name = std::move(name);
    share.path = Utf8ToUtf16(path.string());
    share.guest = guest;
    share.password = std::move(passwordHash);
    return share;
}

Account MakeAccount(std::u16string name, std::string_view password,
                    std::map<std::string, AccessFlags> access) {
    Account account;
    account.name = std::move(name);
    account.password = TestHash(password);
    account.access = std::move(access);
    return account;
}

JsonValue Json(const ClientResponse& response) {
    auto [value, ok] = ParseJson(response.body, kJsonMaxDepth);
    EXPECT_TRUE(ok) << "not JSON: " << response.body;
    return value;
}

std::string SessionCookieOf(const ClientResponse& response) {
    const std::string value = response.Header("set-cookie");
    if (!value.starts_with("vcs="))
        return {};
    return value.substr(4, value.find(';') - 4);
}

void WebAppFixture::SetUp() {
    char pattern[] = "/tmp/velto-webapp-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_root = pattern;
    for (const char* sub : {"home", "config", "state", "data", "cache", "files"})
        std::filesystem::create_directories(m_root / sub);
    ::setenv("HOME", (m_root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (m_root / "state").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (m_root / "cache").c_str(), 1);
    ::unsetenv("VELTO_CORVANE_DATA_DIR");
    m_files = m_root / "files";

    m_log = std::make_unique<AccessLog>((m_root / "state" / "logs").string());
    m_app = std::make_unique<WebApp>(
        m_assets, *m_log, [this] { return m_tick.load(); },
        [this] {
            std::function<void()> hook;
            {
                const std::lock_guard lock(m_hookMutex);
                hook = m_sessionHook;
            }
            if (hook)
                hook();
            return RandomHex(32);
        });
    m_handler = std::make_unique<GateProbeHandler>(*m_app);
    m_server = std::make_unique<HttpServer>(*m_handler);
    ServerOptions options;
    options.port = 0;
    options.loopbackOnly = true;
    ConfigureServer(options);
    ASSERT_EQ(m_server->Start(options), kOk);
}

void WebAppFixture::TearDown() {
    if (m_server)
        m_server->Stop();
    m_server.reset();
    m_handler.reset();
    m_app.reset();
    m_log.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::filesystem::path WebAppFixture::WriteFile(const std::filesystem::path& relative,
                                               std::string_view bytes) {
    const std::filesystem::path path = m_files / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

ClientResponse WebAppFixture::Send(std::string_view method, std::string_view target,
                                   std::string_view cookie, std::string_view body,
                                   std::vector<std::string> headers, bool csrf) {
    if (!cookie.empty())
        headers.push_back("Cookie: vcs=" + std::string(cookie));
    if (csrf && (method == "POST" || method == "PUT"))
        headers.push_back("x-veltocorvane: 1");
    std::optional<ClientResponse> response;
    {
        HttpClient client(Port());
        EXPECT_TRUE(client.IsConnected());
        response = client.Request(method, target, headers, body);
        EXPECT_TRUE(response) << method << " " << target << ": no reply";
    }
    // A handler writes its access-log record after the reply went out; let it
    // finish before the next request, so records come in the order the test
    // sent the requests. Connections the test holds open meanwhile only make
    // this wait run out.
    for (int i = 0; i < kSettleSteps && m_server->ActiveConnections() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return response.value_or(ClientResponse{});
}

std::string WebAppFixture::SignIn(std::string_view name, std::string_view password,
                                  std::string_view cookie) {
    JsonValue body = JsonValue::MakeObject();
    body.Set("name", JsonValue(std::string(name)));
    body.Set("password", JsonValue(std::string(password)));
    const ClientResponse reply = Post("/api/login", SerializeJson(body, false), cookie);
    EXPECT_EQ(reply.status, 200) << reply.body;
    const std::string id = SessionCookieOf(reply);
    EXPECT_EQ(id.size(), 64u);
    return id;
}

void WebAppFixture::SetSessionCreationHook(std::function<void()> hook) {
    const std::lock_guard lock(m_hookMutex);
    m_sessionHook = std::move(hook);
}

std::vector<AccessLogEntry> WebAppFixture::LogEntries() const {
    // A handler writes its record after the reply went out. Once every client
    // connection has ended, every handler has returned and its record is in.
    for (int i = 0; i < kIdleWaitSteps && m_server->ActiveConnections() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(m_server->ActiveConnections(), 0) << "a client connection is still open";
    const auto entries = m_log->Snapshot();
    return {entries.begin(), entries.end()};
}

} // namespace Velto::Corvane::Testing
