// The service on loopback ports with real configuration files, certificates
// and HTTP clients. UPnP stays off here; the router cases run in namespaces.

#include "base/utf.h"
#include "config/config_file.h"
#include "tests/support/netns_lab.h"
#include "tests/support/service_fixture.h"
#include "tests/support/http_client.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>

namespace Velto::Corvane::Testing {
namespace {

std::optional<ClientResponse> GetShares(HttpClient& client) {
    return client.Request("GET", "/api/shares");
}

bool Lists(const std::optional<ClientResponse>& response, std::string_view name) {
    return response && response->status == 200 &&
           response->body.find("\"name\":\"" + std::string{name} + "\"") != std::string::npos;
}

bool Accepts(std::uint16_t port) {
    HttpClient client{port};
    return client.IsConnected() && Lists(GetShares(client), "docs");
}

bool IsLowerHex(std::u16string_view text, std::size_t length) {
    if (text.size() != length)
        return false;
    for (const char16_t unit : text) {
        if (!((unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'f')))
            return false;
    }
    return true;
}

// The SHA-256 of the certificate a TLS server on the port presents, as
// openssl prints it without colons, in lower case.
std::string ServedCertificateSha256(std::uint16_t port) {
    const std::string command =
        "openssl s_client -connect 127.0.0.1:" + std::to_string(port) +
        " </dev/null 2>/dev/null | openssl x509 -noout -fingerprint -sha256";
    const CommandResult result = RunCommand({"bash", "-c", command});
    std::smatch match;
    if (!std::regex_search(result.output, match, std::regex{"=([0-9A-F:]+)"}))
        return result.output;
    std::string hex;
    for (const char c : match[1].str()) {
        if (c != ':')
            hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

using ServiceTest = ServiceFixture;

TEST_F(ServiceTest, StartTwiceReturnsZeroAndChangesNothing) {
    CorvaneService& service = MakeService();
    const Config config = BaseConfig(FreeLoopbackPort());
    ASSERT_TRUE(service.ApplyConfig(config));
    ASSERT_EQ(service.Start(), 0);
    HttpClient client{config.port};
    ASSERT_TRUE(Lists(GetShares(client), "docs"));
    const ServiceStatus first = service.GetStatus();

    EXPECT_EQ(service.Start(), 0);
    const ServiceStatus second = service.GetStatus();
    EXPECT_EQ(second.state, ServiceStatus::Running);
    EXPECT_EQ(second.port, config.port);
    EXPECT_EQ(second.localAddresses, first.localAddresses);
    // The connection made before the second call is still served.
    EXPECT_TRUE(Lists(GetShares(client), "docs"));
}

TEST_F(ServiceTest, OnlyListeningSettingsRestartARunningServer) {
    struct Case {
        const char* name;
        std::function<void(Config&)> change;
        bool restarts;
    };
    const std::vector<Case> cases = {
        {"certificate kind", [](Config& c) { c.certificate = CertificateKind::Pfx; }, true},
        {"certificate file", [](Config& c) { c.pfxPath = u"/nowhere/server.pfx"; }, true},
        {"certificate password", [](Config& c) { c.pfxPassword = "00ff"; }, true},
        {"self-signed thumbprint", [](Config& c) { c.selfSignedThumbprint = u"ab"; }, false},
        {"hidden files", [](Config& c) { c.showHidden = true; }, false},
        {"start on launch", [](Config& c) { c.startServerOnLaunch = false; }, false},
        {"language", [](Config& c) { c.language = u"en"; }, false},
        {"theme", [](Config& c) { c.theme = u"dark"; }, false},
        {"accounts",
         [](Config& c) {
             c.accounts.push_back(Account{u"ann", "pbkdf2-sha256$1$00$00", {}});
         },
         false},
        {"a share added",
         [this](Config& c) {
             Share more;
             more.id = "fedcba9876543210";
             more.name = u"more";
             more.path = Files().u16string();
             c.shares.push_back(more);
         },
         false},
    };
    CorvaneService& service = MakeService();
    const Config base = BaseConfig(FreeLoopbackPort());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(service.ApplyConfig(base));
        ASSERT_EQ(service.Start(), 0);
        HttpClient client{base.port};
        ASSERT_TRUE(Lists(GetShares(client), "docs"));

        Config changed = base;
        c.change(changed);
        EXPECT_TRUE(service.ApplyConfig(changed));
        EXPECT_EQ(service.GetStatus().state, ServiceStatus::Running);
        EXPECT_EQ(service.GetConfig().pfxPassword, changed.pfxPassword);
        if (c.restarts) {
            EXPECT_TRUE(client.PeerClosed());
        } else {
            // Same connection, and the web application already has the change.
            const auto shares = GetShares(client);
            EXPECT_TRUE(Lists(shares, "docs"));
            EXPECT_EQ(Lists(shares, "more"), changed.shares.size() == 2);
        }
        EXPECT_TRUE(Accepts(base.port));
        service.Stop();
    }
}

TEST_F(ServiceTest, PortChangeRestartsOnTheNewPort) {
    CorvaneService& service = MakeService();
    const Config first = BaseConfig(FreeLoopbackPort());
    ASSERT_TRUE(service.ApplyConfig(first));
    ASSERT_EQ(service.Start(), 0);
    HttpClient client{first.port};
    ASSERT_TRUE(Lists(GetShares(client), "docs"));

    Config second = first;
    second.port = FreeLoopbackPort();
    ASSERT_NE(second.port, first.port);
    EXPECT_TRUE(service.ApplyConfig(second));
    EXPECT_TRUE(client.PeerClosed());
    const ServiceStatus status = service.GetStatus();
    EXPECT_EQ(status.state, ServiceStatus::Running);
    EXPECT_EQ(status.port, second.port);
    EXPECT_TRUE(Accepts(second.port));
    EXPECT_FALSE(HttpClient{first.port}.IsConnected());
    EXPECT_EQ(SavedConfig().port, second.port);
}

TEST_F(ServiceTest, PortInUseReportsTheBindError) {
    const PortBlocker blocker;
    CorvaneService& service = MakeService();
    const Config free = BaseConfig(FreeLoopbackPort());
    ASSERT_TRUE(service.ApplyConfig(free));
    ASSERT_EQ(service.Start(), 0);

    // A restart onto the taken port: saved, applied, and the status tells why
    // nothing listens.
    Config taken = free;
    taken.port = blocker.Port();
    EXPECT_TRUE(service.ApplyConfig(taken));
    ServiceStatus status = service.GetStatus();
    EXPECT_EQ(status.state, ServiceStatus::Failed);
    EXPECT_EQ(static_cast<std::uint32_t>(status.error), 0x80072740u);
    EXPECT_FALSE(status.certificateError);
    EXPECT_EQ(status.port, blocker.Port());
    EXPECT_TRUE(status.localAddresses.empty());
    EXPECT_FALSE(service.IsRunning());
    EXPECT_EQ(SavedConfig().port, blocker.Port());

    EXPECT_EQ(static_cast<std::uint32_t>(service.Start()), 0x80072740u);
    service.Stop();
    EXPECT_EQ(service.GetStatus().state, ServiceStatus::Failed);

    // The next start resets the failure.
    ASSERT_TRUE(service.ApplyConfig(free));
    EXPECT_EQ(service.GetStatus().state, ServiceStatus::Failed);
    EXPECT_EQ(service.Start(), 0);
    status = service.GetStatus();
    EXPECT_EQ(status.state, ServiceStatus::Running);
    EXPECT_EQ(status.error, 0);
}

TEST_F(ServiceTest, ApplyWhileStoppedStartsNothing) {
    CorvaneService& service = MakeService();
    ASSERT_TRUE(service.ApplyConfig(BaseConfig(FreeLoopbackPort())));
    Config moved = BaseConfig(FreeLoopbackPort());
    moved.https = true;
    EXPECT_TRUE(service.ApplyConfig(moved));
    EXPECT_FALSE(service.IsRunning());
    EXPECT_EQ(service.GetStatus().state, ServiceStatus::Stopped);
    EXPECT_FALSE(HttpClient{moved.port}.IsConnected());
    EXPECT_EQ(service.GetConfig().port, moved.port);
    EXPECT_EQ(SavedConfig().port, moved.port);
    // No certificate was made either.
    EXPECT_FALSE(std::filesystem::exists(StoreFolder() + "/certs"));
}

TEST_F(ServiceTest, SaveFailureStillAppliesTheConfiguration) {
    CorvaneService& service = MakeService();
    // config.json's folder is a file, so nothing can be saved there.
    std::filesystem::create_directories(
        std::filesystem::path{ConfigPath()}.parent_path().parent_path());
    std::ofstream{std::filesystem::path{ConfigPath()}.parent_path()} << "not a folder";
    const Config config = BaseConfig(FreeLoopbackPort());
    EXPECT_FALSE(service.ApplyConfig(config));
    EXPECT_EQ(service.GetConfig().port, config.port);
    ASSERT_EQ(service.Start(), 0);
    EXPECT_TRUE(Accepts(config.port));
}

TEST_F(ServiceTest, HttpsSelfSignedStartSavesTheThumbprint) {
    CorvaneService& service = MakeService();
    Config config = BaseConfig(FreeLoopbackPort());
    config.https = true;
    ASSERT_TRUE(service.ApplyConfig(config));
    ASSERT_EQ(service.Start(), 0);

    const ServiceStatus status = service.GetStatus();
    EXPECT_EQ(status.state, ServiceStatus::Running);
    EXPECT_TRUE(status.https);
    EXPECT_TRUE(IsLowerHex(status.thumbprint, 64)) << Utf16ToUtf8(status.thumbprint);
    const std::u16string sha1 = service.GetConfig().selfSignedThumbprint;
    EXPECT_TRUE(IsLowerHex(sha1, 40)) << Utf16ToUtf8(sha1);
    EXPECT_EQ(SavedConfig().selfSignedThumbprint, sha1);
    EXPECT_EQ(ServedCertificateSha256(config.port), Utf16ToUtf8(status.thumbprint));

    const CommandResult curl = RunCommand(
        {"curl", "-sk", "https://127.0.0.1:" + std::to_string(config.port) + "/api/shares"});
    EXPECT_NE(curl.output.find("\"docs\""), std::string::npos) << curl.output;

    // The next start reuses the certificate.
    service.Stop();
    ASSERT_EQ(service.Start(), 0);
    EXPECT_EQ(service.GetStatus().thumbprint, status.thumbprint);
    EXPECT_EQ(service.GetConfig().selfSignedThumbprint, sha1);
}

TEST_F(ServiceTest, CertificateFailuresAreReportedAsSuch) {
    const std::string garbage = (Files() / "garbage.pfx").string();
    std::ofstream{garbage} << "not a PKCS #12 file";
    struct Case {
        const char* name;
        std::u16string pfxPath;
        std::string pfxPassword;
        std::optional<std::uint32_t> error; // nullopt: any failure
    };
    const std::vector<Case> cases = {
        {"password cannot be decrypted", Utf8ToUtf16(garbage), "00112233", 0x80090003u},
        {"file is missing", u"/nowhere/server.pfx", "", std::nullopt},
        {"file is not PKCS #12", Utf8ToUtf16(garbage), "", std::nullopt},
    };
    CorvaneService& service = MakeService();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Config config = BaseConfig(FreeLoopbackPort());
        config.https = true;
        config.certificate = CertificateKind::Pfx;
        config.pfxPath = c.pfxPath;
        config.pfxPassword = c.pfxPassword;
        ASSERT_TRUE(service.ApplyConfig(config));
        const Result started = service.Start();
        EXPECT_TRUE(Failed(started));
        if (c.error) {
            EXPECT_EQ(static_cast<std::uint32_t>(started), *c.error);
        }
        const ServiceStatus status = service.GetStatus();
        EXPECT_EQ(status.state, ServiceStatus::Failed);
        EXPECT_EQ(status.error, started);
        EXPECT_TRUE(status.certificateError);
        EXPECT_FALSE(service.IsRunning());
        EXPECT_FALSE(HttpClient{config.port}.IsConnected());
    }
}

TEST_F(ServiceTest, LoopbackOnlyListsExactlyTheLoopbackAddress) {
    CorvaneService& service = MakeService(true);
    ASSERT_TRUE(service.ApplyConfig(BaseConfig(FreeLoopbackPort())));
    ASSERT_EQ(service.Start(), 0);
    EXPECT_EQ(service.GetStatus().localAddresses, std::vector<std::string>{"127.0.0.1"});
}

TEST_F(ServiceTest, LoadConfigurationFallsBackToDefaults) {
    std::filesystem::create_directories(std::filesystem::path{ConfigPath()}.parent_path());
    {
        std::ofstream{ConfigPath()} << R"({"server": {"port": 9123, "upnp": false}})";
        CorvaneService& service = MakeService();
        EXPECT_TRUE(service.LoadConfiguration());
        EXPECT_EQ(service.GetConfig().port, 9123);
        EXPECT_FALSE(service.GetConfig().upnp);
    }
    std::ofstream{ConfigPath()} << R"({"server": {"port": 9123,)";
    CorvaneService& service = MakeService();
    EXPECT_FALSE(service.LoadConfiguration());
    EXPECT_EQ(service.GetConfig().port, 8080);
    EXPECT_TRUE(service.GetConfig().upnp);
}

TEST_F(ServiceTest, RunOverridesAreServedButNeverSaved) {
    CorvaneService& service = MakeService();
    Config config = BaseConfig(FreeLoopbackPort());
    config.https = true; // the start saves the new thumbprint
    ASSERT_TRUE(service.ApplyConfig(config));
    Share temporary;
    temporary.id = "aaaaaaaaaaaaaaaa";
    temporary.name = u"visiting";
    temporary.path = Files().u16string();
    temporary.readOnly = true;
    Share clash = temporary;
    clash.id = "bbbbbbbbbbbbbbbb";
    clash.name = u"DOCS"; // the configured share keeps its name
    service.SetTemporaryShares({temporary, clash});
    const std::uint16_t runPort = FreeLoopbackPort();
    service.SetPortForRun(runPort);
    ASSERT_EQ(service.Start(), 0);
    EXPECT_EQ(service.GetStatus().port, runPort);

    const CommandResult curl =
        RunCommand({"curl", "-sk", "https://127.0.0.1:" + std::to_string(runPort) + "/api/shares"});
    EXPECT_NE(curl.output.find("\"visiting\""), std::string::npos) << curl.output;
    EXPECT_NE(curl.output.find("\"docs\""), std::string::npos) << curl.output;
    EXPECT_EQ(curl.output.find("\"DOCS\""), std::string::npos) << curl.output;

    const Config saved = SavedConfig();
    EXPECT_FALSE(saved.selfSignedThumbprint.empty());
    EXPECT_EQ(saved.port, config.port);
    ASSERT_EQ(saved.shares.size(), 1u);
    EXPECT_EQ(saved.shares[0].name, u"docs");
    EXPECT_EQ(service.GetConfig().shares.size(), 1u);
}

} // namespace
} // namespace Velto::Corvane::Testing
