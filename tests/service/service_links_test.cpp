// Links made in the browser through the service: saved in config.json with
// their use counts, and working again in the next run.

#include "base/utf.h"
#include "config/config_file.h"
#include "config/password_hash.h"
#include "tests/support/http_client.h"
#include "tests/support/service_fixture.h"
#include "json/json.h"

#include <gtest/gtest.h>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::uint32_t kQuickIterations = 1000;

ClientResponse Call(std::uint16_t port, std::string_view method, std::string_view target,
                    std::vector<std::string> headers = {}, std::string_view body = {}) {
    HttpClient client{port};
    EXPECT_TRUE(client.IsConnected());
    headers.push_back("x-veltocorvane: 1");
    return client.Request(method, target, headers, body).value_or(ClientResponse{});
}

using ServiceLinks = ServiceFixture;

TEST_F(ServiceLinks, LinksAndTheirUsesSurviveARestart) {
    CorvaneService& service = MakeService();
    Config config = BaseConfig(FreeLoopbackPort());
    config.shares.front().guest = AccessFlags::None;
    Account ann;
    ann.name = u"ann";
    ann.password = HashPassword("ann-pw", kQuickIterations);
    ann.access[config.shares.front().id] = AccessFlags::Read;
    config.accounts.push_back(ann);
    ASSERT_TRUE(service.ApplyConfig(config));
    ASSERT_EQ(service.Start(), 0);

    const ClientResponse login =
        Call(config.port, "POST", "/api/login", {}, R"({"name":"ann","password":"ann-pw"})");
    ASSERT_EQ(login.status, 200);
    const std::string cookie = "Cookie: " + login.Header("set-cookie").substr(0, 68);
    const ClientResponse made =
        Call(config.port, "POST", "/api/links", {cookie},
             R"({"share":"docs","path":"","mode":"view","expiry":"never","label":"Holiday"})");
    ASSERT_EQ(made.status, 201) << made.body;
    const std::string url = ParseJson(made.body, kJsonMaxDepth).first.Get("url").AsString();
    for (int visit = 0; visit < 2; ++visit)
        EXPECT_EQ(Call(config.port, "GET", url).status, 200);

    // Made and counted in memory; the stop writes the counts.
    service.Stop();
    const Config saved = SavedConfig();
    ASSERT_EQ(saved.links.size(), 1u);
    EXPECT_EQ(saved.links.front().label, u"Holiday");
    EXPECT_EQ(saved.links.front().creator, u"ann");
    EXPECT_EQ(saved.links.front().uses, 2u);
    EXPECT_EQ("/s/" + saved.links.front().token, url);
    // Other edits keep the link: the configuration is changed as it is now.
    EXPECT_EQ(service.GetConfig().links.size(), 1u);

    // The next run reads it back and serves it.
    EmbeddedAssets assets;
    CorvaneService next(Options(true), assets);
    ASSERT_TRUE(next.LoadConfiguration());
    ASSERT_EQ(next.Start(), 0);
    EXPECT_EQ(Call(config.port, "GET", url).status, 200);
    const std::string token = url.substr(3);
    EXPECT_EQ(Call(config.port, "GET", "/s/" + std::string(token.rbegin(), token.rend())).status,
              404);
    next.Stop();
    EXPECT_EQ(SavedConfig().links.front().uses, 3u);
}

} // namespace
} // namespace Velto::Corvane::Testing
