// Clients that try to wear the server down: trickled heads, one address taking
// every slot, handlers that throw.

#include "base/diag_log.h"
#include "server/http/canned_response.h"
#include "server/http/http_server.h"
#include "tests/server/http/patient_options.h"
#include "tests/server/http/test_handler.h"
#include "tests/support/http_client.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
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
using Clock = std::chrono::steady_clock;

// One request on a new connection from `source`; the response or nullopt.
std::optional<ClientResponse> Exchange(std::uint16_t port, const char* source,
                                       std::string_view target) {
    HttpClient client(port, source);
    if (!client.IsConnected() || !client.SendRaw(Get(target)))
        return std::nullopt;
    return client.ReadResponse();
}

TEST(HttpServerHostileTest, TrickledHeadIsDroppedAtItsDeadlineWhileOthersAreServed) {
    constexpr std::uint32_t kHeaderMs = 2000;
    constexpr auto kByteEvery = std::chrono::milliseconds(250);
    // Sent whole, this head would take 20 s: far past the deadline, and every
    // byte comes well inside the header time-out, so only a deadline for the
    // whole head ends it.
    const std::string head =
        "GET /info?trickled HTTP/1.1\r\nHost: test\r\nX-Pad: " + std::string(40, 'p') + "\r\n\r\n";
    ASSERT_GT(head.size() * kByteEvery, std::chrono::seconds(20));

    TestHandler handler;
    HttpServer server(handler);
    ServerOptions options = LoopbackOptions();
    options.headerTimeoutMs = kHeaderMs;
    ASSERT_EQ(server.Start(options), kOk);

    struct Case {
        const char* name;
        bool afterServedRequest; // the trickled head is the second on its connection
    };
    for (const Case c : {Case{"first request of the connection", false},
                         Case{"request after a served one", true}}) {
        SCOPED_TRACE(c.name);
        HttpClient trickler(server.BoundPort());
        ASSERT_TRUE(trickler.IsConnected());
        if (c.afterServedRequest) {
            ASSERT_TRUE(trickler.SendRaw(Get("/info?first")));
            ASSERT_TRUE(trickler.ReadResponse());
            // The long idle time-out covers the pause before the next head.
            std::this_thread::sleep_for(std::chrono::milliseconds(kHeaderMs));
        }
        const Clock::time_point start = Clock::now();
        std::atomic<bool> stop{false};
        std::thread sender([&] {
            for (const char byte : head) {
                if (stop.load() || !trickler.SendRaw(std::string_view(&byte, 1)))
                    return;
                std::this_thread::sleep_for(kByteEvery);
            }
        });

        // Others are served while the trickle goes on.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto other = Exchange(server.BoundPort(), "127.0.0.1", "/info?other");
        ASSERT_TRUE(other);
        EXPECT_EQ(other->status, 200);

        const std::string reply = trickler.ReadUntilClose();
        const auto elapsed = Clock::now() - start;
        stop.store(true);
        sender.join();
        EXPECT_EQ(reply, "");
        EXPECT_GE(elapsed, std::chrono::milliseconds(kHeaderMs - 100));
        EXPECT_LT(elapsed, std::chrono::milliseconds(kHeaderMs + 3000));
    }
    for (const SeenRequest& seen : handler.Seen())
        EXPECT_NE(seen.request.query, "trickled");
}

TEST(HttpServerHostileTest, OneAddressGetsSixteenSlotsAndTheSeventeenthIsRefused) {
    constexpr int kPerAddress = 16;
    TestHandler handler;
    HttpServer server(handler);
    ASSERT_EQ(server.Start(LoopbackOptions()), kOk);
    const std::uint16_t port = server.BoundPort();

    std::vector<std::unique_ptr<HttpClient>> held;
    for (int i = 0; i < kPerAddress; ++i) {
        held.push_back(std::make_unique<HttpClient>(port, "127.0.0.1"));
        ASSERT_TRUE(held.back()->SendRaw(Get("/info")));
        const auto response = held.back()->ReadResponse();
        ASSERT_TRUE(response) << i;
        ASSERT_EQ(response->status, 200) << i;
    }

    HttpClient seventeenth(port, "127.0.0.1");
    ASSERT_TRUE(seventeenth.IsConnected());
    EXPECT_EQ(seventeenth.ReadUntilClose(), CannedResponse(503));

    const auto other = Exchange(port, "127.0.0.2", "/info");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->body, "GET|/info||127.0.0.2|0");

    // The sixteen keep their slots...
    for (int i = 0; i < kPerAddress; ++i) {
        ASSERT_TRUE(held[static_cast<std::size_t>(i)]->SendRaw(Get("/info?again")));
        const auto response = held[static_cast<std::size_t>(i)]->ReadResponse();
        ASSERT_TRUE(response) << i;
        EXPECT_EQ(response->status, 200) << i;
    }
    // ...and a slot given back is the address's again, once its thread ended.
    held.pop_back();
    bool admitted = false;
    for (int attempt = 0; attempt < 100 && !admitted; ++attempt) {
        const auto response = Exchange(port, "127.0.0.1", "/info?returned");
        admitted = response && response->status == 200;
        if (!admitted)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(admitted);
}

// Whether the server has closed the connection, looking without waiting; an
// answer already sent counts as closed too.
bool ClosedNow(int fd) {
    char byte = 0;
    const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    return got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

TEST(HttpServerHostileTest, ClientsBelowTheMinimumRateAreCutAndSlowHonestOnesAreNot) {
    TestHandler handler;
    HttpServer server(handler);
    ServerOptions options = LoopbackOptions();
    options.minRateWindowMs = 1000;
    options.minRateBytes = 1000;
    ASSERT_EQ(server.Start(options), kOk);
    const std::uint16_t port = server.BoundPort();

    struct Case {
        const char* name;
        std::size_t pieceBytes;
        std::chrono::milliseconds every;
        bool served;
    };
    // 1 byte per 300 ms never fills a window; 200 bytes per 100 ms (2 kB/s)
    // fills every one, however long the body takes.
    for (const Case c : {Case{"trickle", 1, std::chrono::milliseconds(300), false},
                         Case{"slow but steady", 200, std::chrono::milliseconds(100), true}}) {
        SCOPED_TRACE(c.name);
        constexpr std::size_t kBody = 6000;
        HttpClient client(port);
        ASSERT_TRUE(client.SendRaw("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: " +
                                   std::to_string(kBody) + "\r\n\r\n"));
        const Clock::time_point start = Clock::now();
        std::size_t sent = 0;
        bool cut = false;
        while (sent < kBody && !cut) {
            const std::size_t piece = std::min(c.pieceBytes, kBody - sent);
            cut = !client.SendRaw(std::string(piece, 'b'));
            sent += piece;
            std::this_thread::sleep_for(c.every);
            cut = cut || ClosedNow(client.Fd());
            if (Clock::now() - start > std::chrono::seconds(10))
                break;
        }
        if (c.served) {
            const auto response = client.ReadResponse();
            ASSERT_TRUE(response);
            EXPECT_EQ(response->body.size(), kBody);
        } else {
            EXPECT_TRUE(cut);
            EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        }
    }

    // A reader that takes nothing: the reply's send blocks, and the window
    // ends it. The file is far larger than the socket buffers can hold.
    const std::string path = ::testing::TempDir() + "/rate-reader.bin";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string block(1 << 20, 'r');
        for (int i = 0; i < 64; ++i)
            std::fwrite(block.data(), 1, block.size(), file);
        std::fclose(file);
    }
    HttpClient reader(port);
    const int small = 4096;
    ::setsockopt(reader.Fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(reader.SendRaw(Get("/file?path=" + path + "&offset=0&length=67108864")));
    const Clock::time_point start = Clock::now();
    bool ended = false;
    while (!ended && Clock::now() - start < std::chrono::seconds(15)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        char byte = 0;
        (void)::recv(reader.Fd(), &byte, 1, MSG_DONTWAIT);
        ended = server.ActiveConnections() == 0;
    }
    std::remove(path.c_str());
    EXPECT_TRUE(ended);
}

// Records what the connection layer logs while it lives.
class LogCapture {
public:
    LogCapture() {
        m_id = Net::DiagLog::Instance().AddSink([this](const Net::LogRecord& record) {
            const std::lock_guard lock(m_mutex);
            m_messages.push_back(record.message);
        });
    }
    ~LogCapture() { Net::DiagLog::Instance().RemoveSink(m_id); }

    bool Contains(std::u16string_view text) const {
        const std::lock_guard lock(m_mutex);
        for (const std::u16string& message : m_messages) {
            if (message.find(text) != std::u16string::npos)
                return true;
        }
        return false;
    }

private:
    int m_id{0};
    mutable std::mutex m_mutex; // guards m_messages
    std::vector<std::u16string> m_messages;
};

TEST(HttpServerHostileTest, HandlerThatThrowsEndsItsConnectionOnly) {
    LogCapture log;
    TestHandler handler;
    HttpServer server(handler);
    ASSERT_EQ(server.Start(LoopbackOptions()), kOk);

    struct Case {
        const char* kind;
        int status;
        std::u16string_view logged;
    };
    const std::vector<Case> cases = {
        // The exception's text reaches the log with its control bytes escaped.
        {"standard", 500, u"request handler stopped an exception: failed\\x1b[2J before answering"},
        {"other", 500, u"request handler stopped an exception: (not a standard exception)"},
        {"after-head", 200, u"request handler stopped an exception: failed halfway"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        HttpClient client(server.BoundPort());
        // A second request waits behind the throwing one; it is never answered
        // on this connection.
        ASSERT_TRUE(client.SendRaw(Get(std::string("/throw?kind=") + c.kind) + Get("/info")));
        const std::string wire = client.ReadUntilClose();
        EXPECT_TRUE(wire.starts_with("HTTP/1.1 " + std::to_string(c.status) + " ")) << wire;
        if (c.status == 500) {
            EXPECT_NE(wire.find("\r\nConnection: close\r\n"), std::string::npos) << wire;
            EXPECT_TRUE(wire.ends_with("\r\n\r\nInternal Server Error")) << wire;
        } else {
            // The declared 100 bytes never come: the connection ends early.
            EXPECT_NE(wire.find("\r\nContent-Length: 100\r\n"), std::string::npos) << wire;
            EXPECT_TRUE(wire.ends_with("\r\n\r\npartial")) << wire;
        }
        EXPECT_TRUE(log.Contains(c.logged));

        EXPECT_TRUE(server.IsRunning());
        const auto next = Exchange(server.BoundPort(), "127.0.0.1", "/info");
        ASSERT_TRUE(next);
        EXPECT_EQ(next->status, 200);
    }
}

} // namespace
} // namespace Velto::Testing
