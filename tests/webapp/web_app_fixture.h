#pragma once

#include "config/access_log.h"
#include "config/config.h"
#include "server/http/http_server.h"
#include "tests/support/http_client.h"
#include "webapp/embedded_assets.h"
#include "webapp/web_app.h"
#include "json/json.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Corvane::Testing {

// Passwords in test configurations are hashed with few iterations so that
// sign-in tests stay quick; verification accepts any count.
constexpr std::uint32_t kTestIterations = 1000;

std::string TestHash(std::string_view password);

Share MakeShare(std::string id, std::u16string name, const std::filesystem::path& path,
                AccessFlags guest = AccessFlags::Read, std::string passwordHash = {});
Account MakeAccount(std::u16string name, std::string_view password,
                    std::map<std::string, AccessFlags> access = {});

// The parsed JSON body of a reply; fails the test when it is not JSON.
JsonValue Json(const ClientResponse& response);
// The value of the "vcs" cookie a reply sets; empty when it sets none.
std::string SessionCookieOf(const ClientResponse& response);

// A real WebApp behind the real HttpServer on a loopback port, with a clock
// the test moves, a temporary home and data folder, and an access log whose
// entries the test can read.
class WebAppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lets a test change the server's options (TLS, for instance) before it starts.
    virtual void ConfigureServer(ServerOptions& options) { (void)options; }
    // The temporary folder everything of the test lives in.
    const std::filesystem::path& Root() const { return m_root; }

    // The folder for the test's shared files (created empty).
    const std::filesystem::path& Files() const { return m_files; }
    std::filesystem::path WriteFile(const std::filesystem::path& relative, std::string_view bytes);

    void Apply(const Config& config) { m_app->SetConfig(config); }
    void Advance(std::uint64_t ms) { m_tick += ms; }

    std::uint16_t Port() const { return m_server->BoundPort(); }

    // One request on a fresh connection. `cookie` is the "vcs" value to send;
    // POST and PUT carry the x-veltocorvane header unless `csrf` is false.
    ClientResponse Send(std::string_view method, std::string_view target,
                        std::string_view cookie = {}, std::string_view body = {},
                        std::vector<std::string> headers = {}, bool csrf = true);
    ClientResponse Get(std::string_view target, std::string_view cookie = {},
                       std::vector<std::string> headers = {}) {
        return Send("GET", target, cookie, {}, std::move(headers));
    }
    ClientResponse Post(std::string_view target, std::string_view body,
                        std::string_view cookie = {}) {
        return Send("POST", target, cookie, body);
    }
    // Signs in and returns the session cookie (fails the test on refusal).
    std::string SignIn(std::string_view name, std::string_view password,
                       std::string_view cookie = {});

    std::vector<AccessLogEntry> LogEntries() const;

    WebApp& App() { return *m_app; }

    // Runs `hook` inside the next session creations, just before the new
    // session's id is drawn (on the server's thread); an empty hook removes it.
    void SetSessionCreationHook(std::function<void()> hook);

private:
    std::filesystem::path m_root;
    std::filesystem::path m_files;
    std::atomic<std::uint64_t> m_tick{5'000'000};
    EmbeddedAssets m_assets;
    std::unique_ptr<AccessLog> m_log;
    std::unique_ptr<WebApp> m_app;
    std::unique_ptr<IHttpHandler> m_handler;
    std::unique_ptr<HttpServer> m_server;
    std::mutex m_hookMutex; // guards m_sessionHook
    std::function<void()> m_sessionHook;
};

} // namespace Velto::Corvane::Testing
