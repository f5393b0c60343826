#include "server/http/canned_response.h"
#include "server/http/http_server.h"
#include "tests/server/http/patient_options.h"
#include "tests/server/http/test_handler.h"
#include "tests/support/http_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Velto::Testing {
namespace {

using Corvane::CannedResponse;
using Corvane::HttpServer;
using Corvane::ServerOptions;
using Corvane::Testing::ClientResponse;
using Corvane::Testing::HttpClient;

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(server.Start(LoopbackOptions()), kOk); }

    std::unique_ptr<HttpClient> Connect() {
        auto client = std::make_unique<HttpClient>(server.BoundPort());
        EXPECT_TRUE(client->IsConnected());
        return client;
    }

    std::optional<ClientResponse> Exchange(std::string_view request, bool head = false) {
        auto client = Connect();
        if (!client->SendRaw(request))
            return std::nullopt;
        return client->ReadResponse(head);
    }

    // Sends `request` on a new connection and returns everything the server
    // writes until it closes.
    std::string ExchangeUntilClose(std::string_view request) {
        auto client = Connect();
        client->SendRaw(request);
        return client->ReadUntilClose();
    }

    // After the first answer on `client`: either the server closed the
    // connection, or the request pipelined behind it is answered with `body`.
    static void ExpectClosedOrAnswered(HttpClient& client, bool closes, std::string_view body) {
        if (closes) {
            EXPECT_TRUE(client.PeerClosed());
            return;
        }
        const auto second = client.ReadResponse();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->body, body);
    }

    TestHandler handler;
    HttpServer server{handler};
};

TEST_F(HttpServerTest, MalformedHeadsGetTheCanned400AndNeverReachTheHandler) {
    const std::string canned400 = CannedResponse(400);
    ASSERT_EQ(canned400, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n"
                         "Cache-Control: no-store\r\n\r\n");
    struct Case {
        const char* name;
        std::string request;
    };
    const std::vector<Case> cases = {
        {"no Host on HTTP/1.1", "GET / HTTP/1.1\r\n\r\n"},
        {"two Host headers", "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n"},
        {"absolute-form target", "GET http://test/ HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"asterisk target", "OPTIONS * HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"HTTP/1.2", "GET / HTTP/1.2\r\nHost: test\r\n\r\n"},
        {"lower-case protocol", "GET / http/1.1\r\nHost: test\r\n\r\n"},
        {"two spaces after method", "GET  / HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"space before colon", "GET / HTTP/1.1\r\nHost : test\r\n\r\n"},
        {"obsolete folding with tab", "GET / HTTP/1.1\r\nHost: test\r\nX-A: 1\r\n\tmore\r\n\r\n"},
        {"obsolete folding with space", "GET / HTTP/1.1\r\nHost: test\r\nX-A: 1\r\n more\r\n\r\n"},
        {"control byte in target", "GET /a\x01 HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"bad escape in path", "GET /a%G1 HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"escape yielding zero", "GET /a%00b HTTP/1.1\r\nHost: test\r\n\r\n"},
        {"conflicting Content-Length",
         "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"},
        {"20-digit Content-Length",
         "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 10000000000000000000\r\n\r\n"},
        {"signed Content-Length",
         "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: +3\r\n\r\nabc"},
        {"empty Content-Length list",
         "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: ,\r\n\r\n"},
        {"gzip before chunked",
         "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n"},
        {"Transfer-Encoding with Content-Length",
         "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\nContent-Length: "
         "5\r\n\r\n"},
        {"Transfer-Encoding on HTTP/1.0",
         "POST /echo HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExchangeUntilClose(c.request), canned400);
    }
    EXPECT_TRUE(handler.Seen().empty());
}

TEST_F(HttpServerTest, AcceptedHeadsReachTheHandlerAsSent) {
    struct Case {
        const char* name;
        std::string request;
        std::string method;
        std::string path;
        std::string query;
    };
    const std::vector<Case> cases = {
        {"lower-case method", "get /info HTTP/1.1\r\nHost: t\r\n\r\n", "get", "/info", ""},
        {"bare LF line ends", "GET /info?x=1 HTTP/1.1\nHost: t\nX-A: b\n\n", "GET", "/info", "x=1"},
        {"empty lines before the request line", "\r\n\r\nGET /info HTTP/1.1\r\nHost: t\r\n\r\n",
         "GET", "/info", ""},
        {"HTTP/1.0 without Host", "GET /info HTTP/1.0\r\n\r\n", "GET", "/info", ""},
        {"escapes decoded, plus kept, query raw",
         "GET /in%66o+x%2Fy?a=%20b+c HTTP/1.1\r\nHost: t\r\n\r\n", "GET", "/info+x/y", "a=%20b+c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto response = Exchange(c.request);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 200);
        const SeenRequest seen = handler.Last();
        EXPECT_EQ(seen.request.method, c.method);
        EXPECT_EQ(seen.request.path, c.path);
        EXPECT_EQ(seen.request.query, c.query);
        EXPECT_EQ(seen.request.peer, "127.0.0.1");
        EXPECT_FALSE(seen.request.secure);
    }
    const SeenRequest bareLf = handler.Seen().at(1);
    ASSERT_EQ(bareLf.request.head.headers.size(), 2u);
    EXPECT_EQ(bareLf.request.head.headers[1].name, "x-a");
    EXPECT_EQ(bareLf.request.head.headers[1].value, "b");
}

TEST_F(HttpServerTest, HeadOfExactlyTheLimitIsServedAndOneByteMoreGets431) {
    const std::string start = "GET /info HTTP/1.1\r\nHost: t\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    const std::string exact = start + std::string(32768 - start.size() - end.size(), 'p') + end;
    ASSERT_EQ(exact.size(), 32768u);
    const auto response = Exchange(exact);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);

    const std::string over = start + std::string(32769 - start.size() - end.size(), 'p') + end;
    EXPECT_EQ(ExchangeUntilClose(over), CannedResponse(431));
    // A head that never ends is refused the same way once the limit is buffered.
    EXPECT_EQ(ExchangeUntilClose(start + std::string(40000, 'p')), CannedResponse(431));
}

TEST_F(HttpServerTest, RequestBodiesAreDeframed) {
    struct Case {
        const char* name;
        std::string request;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"Content-Length", "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\nhello",
         "hello"},
        {"repeated equal Content-Length",
         "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 5, 5\r\nContent-Length: 5\r\n\r\nhello",
         "hello"},
        {"chunked with extension",
         "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n"
         "a;name=value\r\n0123456789\r\n0\r\n\r\n",
         "0123456789"},
        {"upper-case chunked with trailers",
         "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: CHUNKED\r\n\r\n"
         "3\r\nabc\r\n2\r\nde\r\n0\r\nX-Trailer: 1\r\n\r\n",
         "abcde"},
        {"chunk size line of exactly 4096 bytes",
         "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n3;" +
             std::string(4096 - 4, 'e') + "\r\nxyz\r\n0\r\n\r\n",
         "xyz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto response = Exchange(c.request);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 200);
        EXPECT_EQ(response->body, c.body);
    }
}

TEST_F(HttpServerTest, MalformedChunkedBodyFailsTheReadAndClosesTheConnection) {
    const std::string head = "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::vector<std::string> bodies = {
        "00000000000000001\r\nx\r\n0\r\n\r\n",                      // 17 digits
        "3;" + std::string(4096 - 3, 'e') + "\r\nxyz\r\n0\r\n\r\n", // 4097-byte line
        "3\r\nabcX\r\n0\r\n\r\n",                                   // no CRLF after the data
        "zz\r\n",                                                   // not hexadecimal
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body.substr(0, 20));
        auto client = Connect();
        client->SendRaw(head + body + Get("/info"));
        const auto response = client->ReadResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 413); // the test handler's answer to a failed read
        EXPECT_TRUE(client->PeerClosed());
        EXPECT_FALSE(handler.Last().bodyRead);
    }
}

TEST_F(HttpServerTest, ExpectContinueIsAnsweredOnlyWhenABodyIsPending) {
    // Zero-length body: no interim response, straight to the answer.
    auto empty = Connect();
    empty->SendRaw(
        "POST /echo HTTP/1.1\r\nHost: t\r\nExpect: 100-continue\r\nContent-Length: 0\r\n\r\n");
    const auto direct = empty->ReadResponse();
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->status, 200);

    // With a body the client hears 100 Continue before it sends anything.
    for (const char* version : {"HTTP/1.1", "HTTP/1.0"}) {
        SCOPED_TRACE(version);
        auto client = Connect();
        client->SendRaw(std::string("POST /echo ") + version +
                        "\r\nHost: t\r\nExpect: 100-Continue\r\nContent-Length: 4\r\n\r\n");
        const auto interim = client->ReadResponse();
        ASSERT_TRUE(interim);
        EXPECT_EQ(interim->head, "HTTP/1.1 100 Continue\r\n\r\n");
        client->SendRaw("data");
        const auto final = client->ReadResponse();
        ASSERT_TRUE(final);
        EXPECT_EQ(final->status, 200);
        EXPECT_EQ(final->body, "data");
    }
}

TEST_F(HttpServerTest, PipelinedRequestsAreAnsweredInOrder) {
    auto client = Connect();
    client->SendRaw(Get("/info?first") +
                    "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 6\r\n\r\nsecond" +
                    "POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: "
                    "chunked\r\n\r\n5\r\nthird\r\n0\r\n\r\n" +
                    Get("/info?fourth"));
    const std::vector<std::string> expected = {"GET|/info|first|127.0.0.1|0", "second", "third",
                                               "GET|/info|fourth|127.0.0.1|0"};
    for (const std::string& body : expected) {
        SCOPED_TRACE(body);
        const auto response = client->ReadResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, body);
    }
}

TEST_F(HttpServerTest, ResponseHeadCarriesTheFixedHeaders) {
    const auto plain = Exchange(Get("/info"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(plain->Header("Content-Type"), "text/plain");
    EXPECT_EQ(plain->Header("Content-Length"), std::to_string(plain->body.size()));
    EXPECT_EQ(plain->Header("Cache-Control"), "no-store");
    EXPECT_EQ(plain->Header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(plain->Header("Referrer-Policy"), "no-referrer");
    EXPECT_EQ(plain->CountHeader("Connection"), 0u);

    const auto cached = Exchange(Get("/cache"));
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->CountHeader("cache-control"), 1u);
    EXPECT_EQ(cached->Header("cache-control"), "max-age=5");

    // Statuses without a body carry no Content-Length; unknown codes have an empty phrase.
    const auto notModified = Exchange(Get("/status?code=304"));
    ASSERT_TRUE(notModified);
    EXPECT_EQ(notModified->statusLine, "HTTP/1.1 304 Not Modified");
    EXPECT_EQ(notModified->CountHeader("Content-Length"), 0u);
    const auto unknown = Exchange(Get("/status?code=299"));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->statusLine, "HTTP/1.1 299 ");
    EXPECT_EQ(unknown->Header("Content-Length"), "0");
}

TEST_F(HttpServerTest, ConnectionPersistenceFollowsTheRequestAndTheHandler) {
    struct Case {
        const char* name;
        std::string request;
        bool closes;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 default", Get("/info"), false},
        {"HTTP/1.1 close token", Get("/info", "Connection: upgrade, Close\r\n"), true},
        {"HTTP/1.0 default", "GET /info HTTP/1.0\r\n\r\n", true},
        {"HTTP/1.0 keep-alive", "GET /info HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", false},
        {"handler CloseAfter", Get("/close"), true},
        {"handler sent no response", Get("/nothing"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto client = Connect();
        client->SendRaw(c.request + Get("/info?again"));
        const auto first = client->ReadResponse();
        ASSERT_TRUE(first);
        EXPECT_EQ(first->Header("Connection") == "close", c.closes);
        ExpectClosedOrAnswered(*client, c.closes, "GET|/info|again|127.0.0.1|0");
    }
}

TEST_F(HttpServerTest, HandlerWithoutResponseGetsInternalServerError) {
    const auto response = Exchange(Get("/nothing"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 500);
    EXPECT_EQ(response->Header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(response->body, "Internal Server Error");
}

TEST_F(HttpServerTest, WritingPastTheDeclaredLengthFailsAndClosesTheConnection) {
    auto client = Connect();
    client->SendRaw(Get("/overwrite") + Get("/info"));
    const std::string all = client->ReadUntilClose();
    EXPECT_NE(all.find("Content-Length: 10\r\n"), std::string::npos);
    // Only the head went out: the rejected write sent nothing and the
    // pipelined request was never answered.
    EXPECT_TRUE(all.ends_with("\r\n\r\n"));
    EXPECT_EQ(all.find("GET|"), std::string::npos);
    const SeenRequest seen = handler.Last();
    EXPECT_FALSE(seen.writeAccepted);
    EXPECT_FALSE(seen.finished);
}

TEST_F(HttpServerTest, HeadersThatCannotBeSerialisedFailTheResponseUnsent) {
    for (const char* kind : {"name", "value"}) {
        SCOPED_TRACE(kind);
        auto client = Connect();
        client->SendRaw(Get(std::string("/bad-header?kind=") + kind) + Get("/info"));
        // Nothing at all goes out, not even the 500 fallback: the head counts
        // as started, and the connection closes.
        EXPECT_EQ(client->ReadUntilClose(), "");
        EXPECT_FALSE(handler.Last().finished);
    }
}

TEST_F(HttpServerTest, HeadRequestSendsTheHeadOnlyAndKeepsTheConnection) {
    auto client = Connect();
    client->SendRaw("HEAD /head-1000 HTTP/1.1\r\nHost: t\r\n\r\n" + Get("/info"));
    const auto head = client->ReadResponse(true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->Header("Content-Length"), "1000");
    // The next response follows the head directly: no body bytes in between.
    const auto next = client->ReadResponse();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(next->body, "GET|/info||127.0.0.1|0");
    // The HEAD handler returned before the connection moved on.
    const SeenRequest headSeen = handler.Seen().at(0);
    EXPECT_TRUE(headSeen.writeAccepted);
    EXPECT_TRUE(headSeen.finished);
}

TEST_F(HttpServerTest, ChunkedResponsesAreFramedExactly) {
    auto client = Connect();
    client->SendRaw(Get("/chunked"));
    const auto response = client->ReadResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->Header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(response->body, "hello world");

    const std::string raw = ExchangeUntilClose(Get("/chunked", "Connection: close\r\n"));
    EXPECT_TRUE(raw.ends_with("\r\n\r\n6\r\nhello \r\n5\r\nworld\r\n0\r\n\r\n")) << raw;

    // HTTP/1.0 has no chunked framing: the body runs to the end of the connection.
    const std::string http10 = ExchangeUntilClose("GET /chunked HTTP/1.0\r\n\r\n");
    EXPECT_EQ(http10.find("Transfer-Encoding"), std::string::npos);
    EXPECT_NE(http10.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_TRUE(http10.ends_with("\r\n\r\nhello world")) << http10;
}

TEST_F(HttpServerTest, UnreadBodyIsDrainedUpToOneMebibyte) {
    constexpr std::size_t kLimit = 1048576;
    struct Case {
        std::size_t size;
        bool kept;
    };
    for (const Case c : {Case{kLimit, true}, Case{kLimit + 1, false}}) {
        SCOPED_TRACE(c.size);
        auto client = Connect();
        client->SendRaw(
            "POST /ignore-body HTTP/1.1\r\nHost: t\r\nContent-Length: " + std::to_string(c.size) +
            "\r\n\r\n" + std::string(c.size, 'b') + Get("/info"));
        const auto first = client->ReadResponse();
        ASSERT_TRUE(first);
        EXPECT_EQ(first->body, "ok");
        ExpectClosedOrAnswered(*client, !c.kept, "GET|/info||127.0.0.1|0");
    }
}

TEST_F(HttpServerTest, AtTheLimitTheLeastUsedWaitingConnectionMakesRoom) {
    constexpr int kLimit = 64;
    server.Stop();
    ServerOptions options = LoopbackOptions();
    options.maxConnections = kLimit;
    ASSERT_EQ(server.Start(options), kOk);
    // One address may hold only 16 connections, so the 64 come from four.
    const std::vector<std::string> sources = {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
    const auto sourceOf = [&](int i) { return sources[static_cast<std::size_t>(i) % 4]; };
    std::vector<std::unique_ptr<HttpClient>> clients;
    // Each connection proves it was admitted by getting an answer; the first
    // gets a second one, so the second connection has done least.
    for (int i = 0; i < kLimit; ++i) {
        clients.push_back(std::make_unique<HttpClient>(server.BoundPort(), sourceOf(i).c_str()));
        for (int round = 0; round < (i == 0 ? 2 : 1); ++round) {
            clients.back()->SendRaw(Get("/info?n=" + std::to_string(i)));
            const auto response = clients.back()->ReadResponse();
            ASSERT_TRUE(response) << i;
            ASSERT_EQ(response->status, 200);
        }
    }

    // A newcomer is served rather than refused...
    HttpClient newcomer(server.BoundPort(), "127.0.0.5");
    ASSERT_TRUE(newcomer.SendRaw(Get("/info?new")));
    const auto served = newcomer.ReadResponse();
    ASSERT_TRUE(served);
    EXPECT_EQ(served->body, "GET|/info|new|127.0.0.5|0");
    EXPECT_EQ(server.ActiveConnections(), kLimit);
    // ...the connection with least done, waiting longest, was closed for it...
    EXPECT_EQ(clients[1]->ReadUntilClose(), "");
    // ...and every other one goes on.
    for (int i = 0; i < kLimit; ++i) {
        if (i == 1)
            continue;
        clients[static_cast<std::size_t>(i)]->SendRaw(Get("/info?again=" + std::to_string(i)));
        const auto response = clients[static_cast<std::size_t>(i)]->ReadResponse();
        ASSERT_TRUE(response) << i;
        EXPECT_EQ(response->body,
                  "GET|/info|again=" + std::to_string(i) + "|" + sourceOf(i) + "|0");
    }
}

TEST_F(HttpServerTest, WhenEveryConnectionIsInARequestANewcomerIsRefused) {
    server.Stop();
    ServerOptions options = LoopbackOptions();
    options.maxConnections = 2;
    ASSERT_EQ(server.Start(options), kOk);
    // Two requests whose bodies never come hold both connections busy.
    const std::string stalled = "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\n";
    HttpClient first(server.BoundPort());
    HttpClient second(server.BoundPort());
    ASSERT_TRUE(first.SendRaw(stalled));
    ASSERT_TRUE(second.SendRaw(stalled));
    for (int i = 0; i < 200 && handler.Seen().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(handler.Seen().size(), 2u);

    HttpClient refused(server.BoundPort(), "127.0.0.2");
    EXPECT_EQ(refused.ReadUntilClose(), CannedResponse(503));
    // The two are still served once their bodies come.
    ASSERT_TRUE(first.SendRaw("hello"));
    const auto response = first.ReadResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, "hello");
}

TEST_F(HttpServerTest, StopWakesIdleAndHalfSentConnections) {
    auto idle = Connect();
    idle->SendRaw(Get("/info"));
    ASSERT_TRUE(idle->ReadResponse());
    auto halfSent = Connect();
    halfSent->SendRaw("GET /info HTTP/1.1\r\nHo");
    // Time-outs are ten minutes: only the wake-up of Stop lets it return.
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(idle->ReadUntilClose(), "");
    // The half-sent connection may still have been waiting for admission when
    // Stop began; then it is refused with the 503 instead of closed silently.
    const std::string halfSentEnd = halfSent->ReadUntilClose();
    EXPECT_TRUE(halfSentEnd.empty() || halfSentEnd == CannedResponse(503)) << halfSentEnd;
    EXPECT_EQ(server.ActiveConnections(), 0);
    server.Stop(); // a second Stop does nothing
}

TEST_F(HttpServerTest, StartRefusesARunningServerAndRestartsAfterStop) {
    EXPECT_EQ(server.Start(LoopbackOptions()), Corvane::kAlreadyRunning);
    const std::uint16_t port = server.BoundPort();

    TestHandler otherHandler;
    HttpServer other(otherHandler);
    ServerOptions samePort = LoopbackOptions();
    samePort.port = port;
    EXPECT_EQ(other.Start(samePort), kAddrInUse);
    EXPECT_FALSE(other.IsRunning());

    server.Stop();
    ASSERT_EQ(server.Start(samePort), kOk);
    EXPECT_EQ(server.BoundPort(), port);
    const auto response = Exchange(Get("/info"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
}

TEST_F(HttpServerTest, CountersFollowTheTraffic) {
    const std::string request = Get("/info");
    auto client = Connect();
    client->SendRaw(request);
    const auto response = client->ReadResponse();
    ASSERT_TRUE(response);
    server.Stop(); // joins the connection thread, so every count is in
    EXPECT_EQ(server.BytesReceived(), request.size());
    EXPECT_EQ(server.BytesSent(), response->head.size() + response->body.size());
}

// curl as the client: its own framing of uploads and its reading of ours.
TEST_F(HttpServerTest, CurlUploadsAndDownloadsRoundTrip) {
    char folder[] = "/tmp/velto-http-curl-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string dir = folder;
    std::string payload;
    for (int i = 0; i < 300000; ++i)
        payload.push_back(static_cast<char>('A' + (i * 7) % 26));
    {
        FILE* file = std::fopen((dir + "/payload").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(payload.data(), 1, payload.size(), file);
        std::fclose(file);
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(server.BoundPort());
    const auto curl = [&](const std::string& arguments) {
        const std::string command = "curl -sS --noproxy '*' --max-time 120 " + arguments + " -o " +
                                    dir + "/out 2>" + dir + "/err";
        const int status = std::system(command.c_str());
        std::string out;
        if (FILE* file = std::fopen((dir + "/out").c_str(), "rb")) {
            char buffer[65536];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                out.append(buffer, got);
            std::fclose(file);
        }
        return std::pair{status, out};
    };

    struct Case {
        const char* name;
        std::string arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"expect 100-continue",
         "-H 'Expect: 100-continue' --data-binary @" + dir + "/payload " + base + "/echo", payload},
        {"chunked upload",
         "-H 'Transfer-Encoding: chunked' --data-binary @" + dir + "/payload " + base + "/echo",
         payload},
        {"HTTP/1.0 unframed body", "--http1.0 " + base + "/chunked", "hello world"},
        {"file range", "'" + base + "/file?path=" + dir + "/payload&offset=10&length=250000'",
         payload.substr(10, 250000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [status, out] = curl(c.arguments);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(out == c.expected) << out.size();
    }
    std::system(("rm -rf " + dir).c_str());
}

TEST(HttpServerTimeoutTest, SilentAndIdleClientsAreDroppedWithoutAReply) {
    TestHandler handler;
    HttpServer server(handler);
    ServerOptions options = LoopbackOptions();
    options.headerTimeoutMs = 100;
    options.idleTimeoutMs = 100;
    ASSERT_EQ(server.Start(options), kOk);

    // Never sends a byte: the header time-out ends it.
    HttpClient silent(server.BoundPort());
    ASSERT_TRUE(silent.IsConnected());
    // Starts a head and stalls in the middle of it.
    HttpClient stalled(server.BoundPort());
    ASSERT_TRUE(stalled.SendRaw("GET /info HTTP/1.1\r\nHo"));
    // One request, then silence: the idle time-out ends it.
    HttpClient idle(server.BoundPort());
    ASSERT_TRUE(idle.SendRaw(Get("/info")));
    ASSERT_TRUE(idle.ReadResponse());

    EXPECT_EQ(silent.ReadUntilClose(), "");
    EXPECT_EQ(stalled.ReadUntilClose(), "");
    EXPECT_EQ(idle.ReadUntilClose(), "");
    EXPECT_EQ(handler.Seen().size(), 1u);
}

TEST(HttpServerTimeoutTest, BodyWaitsUseTheIoTimeoutAndTheIdleOneReturnsAfterIt) {
    TestHandler handler;
    HttpServer server(handler);
    ServerOptions options = LoopbackOptions();
    options.headerTimeoutMs = 100;
    options.idleTimeoutMs = 100;
    ASSERT_EQ(server.Start(options), kOk);

    // The body comes well after the short header and idle time-outs: the
    // receive that waits for it must run under the patient one...
    HttpClient client(server.BoundPort());
    ASSERT_TRUE(client.SendRaw("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(client.SendRaw("hello"));
    const auto response = client.ReadResponse();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->body, "hello");
    // ...and the wait for the next request under the idle one again.
    EXPECT_EQ(client.ReadUntilClose(), "");
}

TEST(HttpServerDualStackTest, PeersAreWrittenInTheirOwnFamily) {
    TestHandler handler;
    HttpServer server(handler);
    ServerOptions options = LoopbackOptions();
    options.loopbackOnly = false;
    ASSERT_EQ(server.Start(options), kOk);
    for (const bool ipv6 : {false, true}) {
        SCOPED_TRACE(ipv6 ? "IPv6" : "IPv4");
        HttpClient client(server.BoundPort(), ipv6);
        if (ipv6 && !client.IsConnected())
            GTEST_SKIP() << "no IPv6 loopback here";
        ASSERT_TRUE(client.IsConnected());
        client.SendRaw(Get("/info"));
        const auto response = client.ReadResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, ipv6 ? "GET|/info||::1|0" : "GET|/info||127.0.0.1|0");
    }
}

} // namespace
} // namespace Velto::Testing
