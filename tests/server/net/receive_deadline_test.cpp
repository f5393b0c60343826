// Receive deadlines of TcpConnection, and of the HTTP layer's connection I/O
// above it, over a real loopback connection.

#include "base/clock.h"
#include "base/unique_fd.h"
#include "server/http/connection_io.h"
#include "server/net/tcp_connection.h"
#include "tests/support/forwarding_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>

namespace Velto::Testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Pair {
    std::unique_ptr<Net::IConnection> connection; // the accepted side
    UniqueFd peer;                                // the client side, driven by the test
};

Pair MakePair() {
    Pair pair;
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!listener || ::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener.Get(), 1) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return pair;
    pair.peer = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::connect(pair.peer.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return pair;
    UniqueFd accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (accepted)
        pair.connection = Net::MakeTcpConnection(accepted, u"peer");
    return pair;
}

void SendByte(const UniqueFd& fd) {
    const char byte = 'x';
    ASSERT_EQ(::send(fd.Get(), &byte, 1, MSG_NOSIGNAL), 1);
}

TEST(ReceiveDeadlineTest, TrickledBytesDoNotStretchTheDeadline) {
    Pair pair = MakePair();
    ASSERT_TRUE(pair.connection);
    // Each byte comes well within the receive time-out.
    ASSERT_EQ(pair.connection->SetReceiveTimeout(1000), kOk);
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(pair.connection->SetReceiveDeadline(TickCount64() + 600));
    std::thread trickler([&] {
        for (int i = 0; i < 20; ++i) {
            if (::send(pair.peer.Get(), "x", 1, MSG_NOSIGNAL) != 1)
                return;
            std::this_thread::sleep_for(milliseconds(100));
        }
    });

    std::array<std::byte, 16> buffer{};
    std::uint32_t received = 0;
    int bytes = 0;
    Result result = kOk;
    while (Succeeded(result = pair.connection->Receive(buffer, received)) && received > 0)
        bytes += static_cast<int>(received);
    const auto elapsed = Clock::now() - start;
    pair.connection->Shutdown();
    trickler.join();

    EXPECT_EQ(result, kTimedOut);
    EXPECT_GE(bytes, 3);
    EXPECT_GE(elapsed, milliseconds(550));
    EXPECT_LT(elapsed, milliseconds(1500));
}

TEST(ReceiveDeadlineTest, PassedDeadlineFailsAtOnceAndRemovingItReadsOn) {
    Pair pair = MakePair();
    ASSERT_TRUE(pair.connection);
    SendByte(pair.peer);
    ASSERT_TRUE(pair.connection->SetReceiveDeadline(TickCount64() - 1));
    std::array<std::byte, 16> buffer{};
    std::uint32_t received = 0;
    EXPECT_EQ(pair.connection->Receive(buffer, received), kTimedOut);
    EXPECT_EQ(received, 0u);

    ASSERT_TRUE(pair.connection->SetReceiveDeadline(0));
    EXPECT_EQ(pair.connection->Receive(buffer, received), kOk);
    EXPECT_EQ(received, 1u); // the byte that waited meanwhile
}

TEST(ReceiveDeadlineTest, DeadlineTakesThePlaceOfTheReceiveTimeOut) {
    Pair pair = MakePair();
    ASSERT_TRUE(pair.connection);
    ASSERT_EQ(pair.connection->SetReceiveTimeout(100), kOk);
    std::array<std::byte, 16> buffer{};
    std::uint32_t received = 0;

    // Under a deadline a second away, a byte 300 ms late still arrives...
    ASSERT_TRUE(pair.connection->SetReceiveDeadline(TickCount64() + 1000));
    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(300));
        SendByte(pair.peer);
    });
    EXPECT_EQ(pair.connection->Receive(buffer, received), kOk);
    EXPECT_EQ(received, 1u);
    late.join();

    // ...and without it the 100 ms time-out applies again.
    ASSERT_TRUE(pair.connection->SetReceiveDeadline(0));
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(pair.connection->Receive(buffer, received), kTimedOut);
    EXPECT_LT(Clock::now() - start, milliseconds(900));
}

TEST(ReceiveDeadlineTest, ConnectionIoHoldsTheDeadlineOverAnyTransport) {
    struct Case {
        const char* name;
        bool socketKeepsIt; // else the transport cannot keep deadlines
    };
    for (const Case c : {Case{"kept by the socket", true}, Case{"kept by the I/O itself", false}}) {
        SCOPED_TRACE(c.name);
        Pair pair = MakePair();
        ASSERT_TRUE(pair.connection);
        const std::shared_ptr<Net::IConnection> socket = std::move(pair.connection);
        const auto outer = std::make_shared<Testing::ForwardingConnection>(socket);
        Corvane::ServerCounters counters;
        Corvane::ConnectionIo io(
            outer, counters, c.socketKeepsIt ? socket : std::shared_ptr<Net::IConnection>(outer));
        io.SetReceiveTimeout(1000);
        const Clock::time_point start = Clock::now();
        io.SetReceiveDeadline(TickCount64() + 600);
        std::thread trickler([&] {
            for (int i = 0; i < 20; ++i) {
                if (::send(pair.peer.Get(), "x", 1, MSG_NOSIGNAL) != 1)
                    return;
                std::this_thread::sleep_for(milliseconds(100));
            }
        });
        while (io.ReceiveMore()) {
        }
        const auto elapsed = Clock::now() - start;
        socket->Shutdown();
        trickler.join();
        EXPECT_GE(io.Buffer().size(), 3u);
        EXPECT_GE(elapsed, milliseconds(550));
        EXPECT_LT(elapsed, milliseconds(1500));
    }
}

} // namespace
} // namespace Velto::Testing
