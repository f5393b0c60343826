// Request dispatch through the real server: assets and their headers, the
// cross-site check, the route table's fall-through rules and JSON bodies.
#include "tests/webapp/web_app_fixture.h"

namespace Velto::Corvane::Testing {
namespace {

using Dispatch = WebAppFixture;

constexpr std::string_view kHtmlPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "media-src 'self'; connect-src 'self'; font-src 'self'; manifest-src 'self'; "
    "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

TEST_F(Dispatch, ServesTheEmbeddedClientWithItsHeaders) {
    const EmbeddedAssets assets;
    struct Case {
        std::string_view target;
        std::string_view asset;
        std::string_view type;
        bool html;
    };
    const Case cases[] = {
        {"/", "index.html", "text/html; charset=utf-8", true},
        {"/app/index.html", "index.html", "text/html; charset=utf-8", true},
        {"/app/app.js", "app.js", "text/javascript; charset=utf-8", false},
        {"/app/app.css", "app.css", "text/css; charset=utf-8", false},
        {"/app/icon.svg", "icon.svg", "image/svg+xml", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const ClientResponse reply = Get(c.target);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, assets.GetAsset(c.asset).value());
        EXPECT_EQ(reply.Header("content-type"), c.type);
        EXPECT_EQ(reply.Header("cache-control"), "no-cache");
        EXPECT_EQ(reply.Header("x-content-type-options"), "nosniff");
        EXPECT_EQ(reply.Header("referrer-policy"), "no-referrer");
        if (c.html) {
            EXPECT_EQ(reply.Header("content-security-policy"), kHtmlPolicy);
            EXPECT_EQ(reply.Header("x-frame-options"), "DENY");
        } else {
            EXPECT_FALSE(reply.HasHeader("content-security-policy"));
            EXPECT_FALSE(reply.HasHeader("x-frame-options"));
        }
    }

    const ClientResponse head = Send("HEAD", "/app/app.css");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("content-length"), std::to_string(assets.GetAsset("app.css")->size()));
    EXPECT_EQ(head.Header("content-type"), "text/css; charset=utf-8");
    EXPECT_TRUE(head.body.empty());
}

TEST_F(Dispatch, PostAndPutNeedTheMarkerHeaderOnEveryPath) {
    const std::string_view paths[] = {
        "/",           "/app/app.js", "/files/docs/a.txt", "/zip/token", "/api/login",
        "/api/logout", "/api/unlock", "/api/session",      "/api/mkdir", "/nowhere"};
    const std::vector<std::string> wrongMarkers[] = {{},
                                                     {"x-veltocorvane: 0"},
                                                     {"x-veltocorvane: true"},
                                                     {"x-veltocorvane: 11"},
                                                     {"x-veltocorvane: "}};
    for (const std::string_view method : {"POST", "PUT"}) {
        for (const std::string_view path : paths) {
            for (const auto& headers : wrongMarkers) {
                SCOPED_TRACE(std::string(method) + " " + std::string(path) + " " +
                             (headers.empty() ? "(none)" : headers[0]));
                const ClientResponse reply = Send(method, path, {}, "{}", headers, false);
                EXPECT_EQ(reply.status, 403);
                EXPECT_EQ(reply.body, R"({"error":"csrf"})");
                EXPECT_EQ(reply.Header("content-type"), "application/json; charset=utf-8");
                EXPECT_EQ(reply.Header("cache-control"), "no-store");
            }
        }
    }
    // Nothing ran: a refused sign-in attempt leaves no record.
    EXPECT_TRUE(LogEntries().empty());
}

TEST_F(Dispatch, RoutesFallThroughToNotFoundAndOnlyFilesAnswersMethod) {
    struct Case {
        std::string_view method;
        std::string_view target;
        int status;
        std::string_view body;
    };
    const Case cases[] = {
        {"POST", "/", 404, R"({"error":"notFound"})"},
        {"DELETE", "/", 404, R"({"error":"notFound"})"},
        {"POST", "/app/app.js", 404, R"({"error":"notFound"})"},
        {"GET", "/app/", 404, R"({"error":"notFound"})"},
        {"GET", "/app/missing.js", 404, R"({"error":"notFound"})"},
        {"GET", "/app/App.js", 404, R"({"error":"notFound"})"},
        {"GET", "/App/app.js", 404, R"({"error":"notFound"})"},
        {"GET", "/index.html", 404, R"({"error":"notFound"})"},
        {"DELETE", "/files/docs/a.txt", 405, R"({"error":"method"})"},
        {"OPTIONS", "/files/docs/a.txt", 405, R"({"error":"method"})"},
        {"POST", "/files/docs/a.txt", 405, R"({"error":"method"})"},
        {"get", "/files/docs/a.txt", 405, R"({"error":"method"})"},
        {"HEAD", "/api/session", 404, R"({"error":"notFound"})"},
        {"POST", "/api/session", 404, R"({"error":"notFound"})"},
        {"GET", "/api/list/", 404, R"({"error":"notFound"})"},
        {"GET", "/api/login", 404, R"({"error":"notFound"})"},
        {"GET", "/api/Session", 404, R"({"error":"notFound"})"},
        {"DELETE", "/zip/abc", 404, R"({"error":"notFound"})"},
        {"GET", "/nowhere", 404, R"({"error":"notFound"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + std::string(c.target));
        const ClientResponse reply = Send(c.method, c.target);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.Header("content-type"), "application/json; charset=utf-8");
        EXPECT_EQ(reply.Header("content-length"), std::to_string(c.body.size()));
        if (c.method != "HEAD") {
            EXPECT_EQ(reply.body, c.body);
        }
    }
}

TEST_F(Dispatch, JsonBodiesAreLimitedTo256KiB) {
    // A share that takes no password answers notFound once the body was read.
    const auto padded = [](std::size_t size) {
        std::string body = R"({"share":"none","password":"x","pad":")";
        body.append(size - body.size() - 2, 'a');
        body += "\"}";
        return body;
    };
    HttpClient client(Port());
    const std::vector<std::string> marker = {"x-veltocorvane: 1"};
    auto reply = client.Request("POST", "/api/unlock", marker, padded(262'144));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 404) << reply->body;
    EXPECT_FALSE(reply->HasHeader("connection"));

    // Bodies that are not JSON objects are refused; the connection stays usable.
    for (const std::string_view body : {"[]", "5", "\"text\"", "{", "", "{} x"}) {
        SCOPED_TRACE(body);
        reply = client.Request("POST", "/api/unlock", marker, body);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400);
        EXPECT_EQ(reply->body, R"({"error":"badRequest"})");
        EXPECT_FALSE(reply->HasHeader("connection"));
    }

    // One byte more: refused without reading the rest, and the connection closes.
    reply = client.Request("POST", "/api/unlock", marker, padded(262'145));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400);
    EXPECT_EQ(reply->body, R"({"error":"badRequest"})");
    EXPECT_EQ(reply->Header("connection"), "close");
    EXPECT_TRUE(client.PeerClosed());
}

} // namespace
} // namespace Velto::Corvane::Testing
