#include "base/diag_log.h"
#include "server/net/sigpipe_ignore_count.h"
#include "server/net/tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Velto::Net {
namespace {

// A connected TCP pair on loopback: the accepted side wrapped as a connection,
// the connecting side left as a plain socket to drive it.
struct LoopbackPair {
    UniqueFd peer;
    std::unique_ptr<IConnection> connection;
    UniqueFd inspect; // a duplicate of the wrapped socket, when asked for
};

// ipv6Listener: accept on a dual-stack IPv6 socket bound to the IPv4-mapped
// loopback (or ::1 when the client is IPv6), as the server does.
LoopbackPair MakePair(bool ipv6Listener, bool ipv6Client, bool keepDuplicate = false) {
    LoopbackPair pair;
    UniqueFd listener(::socket(ipv6Listener ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6Listener) {
        const int off = 0;
        ::setsockopt(listener.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, ipv6Client ? "::1" : "::ffff:127.0.0.1", &v6->sin6_addr);
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *v4;
    }
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener.Get(), 1) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return pair;

    const std::uint16_t port = ipv6Listener
                                   ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                                   : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    UniqueFd client(::socket(ipv6Client ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_storage target{};
    socklen_t targetLength = 0;
    if (ipv6Client) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&target);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        v6->sin6_port = htons(port);
        targetLength = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&target);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        v4->sin_port = htons(port);
        targetLength = sizeof *v4;
    }
    if (::connect(client.Get(), reinterpret_cast<sockaddr*>(&target), targetLength) != 0)
        return pair;
    UniqueFd accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!accepted)
        return pair;
    pair.peer = std::move(client);
    if (keepDuplicate)
        pair.inspect.Reset(::fcntl(accepted.Get(), F_DUPFD_CLOEXEC, 0));
    pair.connection = MakeTcpConnection(accepted, u"peer-label");
    EXPECT_FALSE(accepted.IsValid());
    return pair;
}

std::string ReadExactly(int fd, std::size_t size) {
    std::string data;
    std::array<char, 65536> buffer;
    while (data.size() < size) {
        const ssize_t got =
            ::recv(fd, buffer.data(), std::min(buffer.size(), size - data.size()), 0);
        if (got <= 0)
            break;
        data.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return data;
}

ByteSpan Bytes(std::string_view text) {
    return std::as_bytes(std::span(text));
}

// Collects log records for one test; threshold Debug while it lives.
class LogCapture {
public:
    LogCapture() {
        DiagLog::Instance().SetThreshold(LogLevel::Debug);
        m_id = DiagLog::Instance().AddSink([this](const LogRecord& record) {
            const std::lock_guard lock(m_mutex);
            m_records.push_back(record);
        });
    }
    ~LogCapture() {
        DiagLog::Instance().RemoveSink(m_id);
        DiagLog::Instance().SetThreshold(LogLevel::Info);
    }
    std::vector<LogRecord> Records() const {
        const std::lock_guard lock(m_mutex);
        return m_records;
    }

private:
    int m_id{0};
    mutable std::mutex m_mutex; // guards m_records
    std::vector<LogRecord> m_records;
};

TEST(TcpConnectionTest, ClosedConnectionRefusesEveryOperation) {
    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    IConnection& connection = *pair.connection;
    EXPECT_TRUE(connection.IsOpen());

    std::uint32_t received = 99;
    EXPECT_EQ(connection.Receive({}, received), kOk);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(connection.Send({}), kOk);

    connection.Close();
    connection.Close();
    std::array<std::byte, 4> buffer;
    const std::array<ByteSpan, 1> pieces = {Bytes("x")};
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(connection.Send(Bytes("x")), kNotConnected);
    EXPECT_EQ(connection.SendGather(pieces), kNotConnected);
    EXPECT_EQ(connection.Receive(buffer, received), kNotConnected);
    EXPECT_EQ(connection.SetReceiveTimeout(1), kNotConnected);
    EXPECT_EQ(connection.SetSendTimeout(1), kNotConnected);
    EXPECT_EQ(connection.SetKeepAlive(1, 1), kNotConnected);
    EXPECT_EQ(connection.SetQos({}), kNotConnected);
    EXPECT_EQ(connection.PeerAddress(), "");
    EXPECT_FALSE(connection.IsNoDelay());
    connection.Shutdown(); // harmless after Close
    // The peer sees the close.
    char byte;
    EXPECT_EQ(::recv(pair.peer.Get(), &byte, 1, 0), 0);
}

TEST(TcpConnectionTest, PeerDescriptionForEachFamily) {
    struct Case {
        bool ipv6Listener;
        bool ipv6Client;
        const char* address;
    };
    for (const Case c : {Case{false, false, "127.0.0.1"}, Case{true, false, "127.0.0.1"},
                         Case{true, true, "::1"}}) {
        SCOPED_TRACE(c.address);
        LoopbackPair pair = MakePair(c.ipv6Listener, c.ipv6Client);
        if (!pair.connection && c.ipv6Client)
            continue; // no IPv6 loopback on this machine
        ASSERT_TRUE(pair.connection);
        EXPECT_EQ(pair.connection->PeerAddress(), c.address);
        EXPECT_EQ(pair.connection->PeerLabel(), u"peer-label");
        EXPECT_EQ(pair.connection->PeerThumbprint(), u"");
        EXPECT_TRUE(pair.connection->IsNoDelay());
    }
}

TEST(TcpConnectionTest, GatheredSendsArriveWholeAndInOrder) {
    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    // Pieces of several MiB overflow the socket buffers, so the gathered call
    // returns short and the rest is completed piece by piece.
    const std::string big1(3 * 1024 * 1024 + 17, 'a');
    const std::string big2(2 * 1024 * 1024 + 5, 'b');
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
    };
    const std::vector<Case> cases = {
        {"four pieces with empties", {"", "one", "", "two", "three", "", "four", ""}},
        {"six pieces coalesced", {"1", "22", "", "333", "4444", "55555", "666666"}},
        {"short gathered send", {big1, "-", big2, "+"}},
        {"all empty", {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string expected;
        std::vector<ByteSpan> spans;
        for (const std::string& piece : c.pieces) {
            expected += piece;
            spans.push_back(Bytes(piece));
        }
        std::string got;
        std::thread reader([&] { got = ReadExactly(pair.peer.Get(), expected.size()); });
        EXPECT_EQ(pair.connection->SendGather(spans), kOk);
        reader.join();
        EXPECT_TRUE(got == expected);
    }
}

TEST(TcpConnectionTest, ShutdownWakesABlockedReceiveAndLaterFailuresAreDebugOnly) {
    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    LogCapture capture;

    Result result = kFail;
    std::uint32_t received = 99;
    std::thread reader([&] {
        std::array<std::byte, 16> buffer;
        result = pair.connection->Receive(buffer, received);
    });
    // The reader may block before or after this point; either way Shutdown
    // must end its wait (there is no receive time-out).
    pair.connection->Shutdown();
    reader.join();
    EXPECT_TRUE(Failed(result) || received == 0);

    EXPECT_TRUE(Failed(pair.connection->Send(Bytes("late"))));
    EXPECT_TRUE(pair.connection->IsOpen()); // Shutdown keeps the descriptor until Close
    bool sawShutdownRecord = false;
    for (const LogRecord& record : capture.Records()) {
        EXPECT_NE(record.level, LogLevel::Error)
            << std::string(record.message.begin(), record.message.end());
        if (record.message == u"send ended by the local shutdown") {
            sawShutdownRecord = true;
            EXPECT_EQ(record.level, LogLevel::Debug);
            EXPECT_EQ(record.tag, u"Net");
        }
    }
    EXPECT_TRUE(sawShutdownRecord);
}

TEST(TcpConnectionTest, ReceiveTimeOutIsReportedAndLogged) {
    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    LogCapture capture;
    ASSERT_EQ(pair.connection->SetReceiveTimeout(20), kOk);
    std::array<std::byte, 16> buffer;
    std::uint32_t received = 0;
    EXPECT_EQ(pair.connection->Receive(buffer, received), kTimedOut);

    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, LogLevel::Error);
    EXPECT_EQ(records[0].message, u"recv failed: 0x8007274C (Connection timed out)");

    // Data that arrives is still delivered after a time-out.
    ASSERT_EQ(::send(pair.peer.Get(), "hi", 2, 0), 2);
    ASSERT_EQ(pair.connection->SetReceiveTimeout(0), kOk);
    EXPECT_EQ(pair.connection->Receive(buffer, received), kOk);
    EXPECT_EQ(received, 2u);
    // A peer that closes gives 0 bytes and success.
    pair.peer.Reset();
    EXPECT_EQ(pair.connection->Receive(buffer, received), kOk);
    EXPECT_EQ(received, 0u);
}

int IntOption(int fd, int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    ::getsockopt(fd, level, name, &value, &length);
    return value;
}

TEST(TcpConnectionTest, KeepAliveRoundsUpToWholeSeconds) {
    struct Case {
        std::uint32_t idleMs;
        std::uint32_t intervalMs;
        int idle;
        int interval;
    };
    for (const Case c : {Case{30000, 5000, 30, 5}, Case{1500, 1, 2, 1}, Case{0, 0, 1, 1}}) {
        SCOPED_TRACE(::testing::Message()
                     << "idle " << c.idleMs << " ms, interval " << c.intervalMs << " ms");
        LoopbackPair pair = MakePair(false, false, true);
        ASSERT_TRUE(pair.connection);
        ASSERT_EQ(pair.connection->SetKeepAlive(c.idleMs, c.intervalMs), kOk);
        const int fd = pair.inspect.Get();
        EXPECT_EQ(IntOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
        EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), c.idle);
        EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), c.interval);
        EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 10);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    }
}

TEST(TcpConnectionTest, QosArgumentsAreValidated) {
    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    EXPECT_EQ(pair.connection->SetQos({0, 0}), kOk);
    EXPECT_EQ(pair.connection->SetQos({5, 63}), kOk);
    EXPECT_EQ(pair.connection->SetQos({6, 0}), kInvalidArg);
    EXPECT_EQ(pair.connection->SetQos({0, 64}), kInvalidArg);
}

TEST(TcpConnectionTest, SendFileSendsExactlyTheRange) {
    char path[] = "/tmp/velto-sendfile-XXXXXX";
    const UniqueFd file(::mkstemp(path));
    ASSERT_TRUE(file.IsValid());
    ::unlink(path);
    std::string content;
    for (int i = 0; i < 300000; ++i)
        content.push_back(static_cast<char>('a' + i % 26));
    ASSERT_EQ(::write(file.Get(), content.data(), content.size()),
              static_cast<ssize_t>(content.size()));

    LoopbackPair pair = MakePair(false, false);
    ASSERT_TRUE(pair.connection);
    ASSERT_TRUE(pair.connection->CanSendFile());
    std::string got;
    std::thread reader([&] { got = ReadExactly(pair.peer.Get(), 250000); });
    EXPECT_EQ(pair.connection->SendFile(file.Get(), 12345, 250000), kOk);
    reader.join();
    EXPECT_TRUE(got == content.substr(12345, 250000));

    // A range running past the end of the file fails after sending what exists.
    std::thread tail([&] { got = ReadExactly(pair.peer.Get(), 10); });
    EXPECT_TRUE(Failed(pair.connection->SendFile(file.Get(), content.size() - 10, 11)));
    tail.join();
    EXPECT_EQ(got, content.substr(content.size() - 10));
}

// A head and a range many send buffers long, at odd offsets: the send loop
// resumes after every partial sendfile and must neither drop nor repeat a byte.
TEST(TcpConnectionTest, HeadAndLargeRangesArriveWhole) {
    char path[] = "/tmp/velto-sendfile-XXXXXX";
    const UniqueFd file(::mkstemp(path));
    ASSERT_TRUE(file.IsValid());
    ::unlink(path);
    std::string content(7 * 1024 * 1024 + 333, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 7919 + i / 4096) % 251);
    ASSERT_EQ(::write(file.Get(), content.data(), content.size()),
              static_cast<ssize_t>(content.size()));

    struct Case {
        std::uint64_t offset;
        std::uint64_t length;
    };
    const std::uint64_t mib = 1024 * 1024;
    for (const Case c : {Case{0, content.size()}, Case{1, 2 * mib}, Case{77, 2 * mib + 1},
                         Case{mib + 5, 4 * mib + 17}, Case{content.size() - 1, 1}}) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
        LoopbackPair pair = MakePair(false, false);
        ASSERT_TRUE(pair.connection);
        const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
        std::string got;
        std::thread reader([&] { got = ReadExactly(pair.peer.Get(), head.size() + c.length); });
        EXPECT_EQ(pair.connection->SendHeadAndFile(Bytes(head), file.Get(), c.offset, c.length),
                  kOk);
        reader.join();
        EXPECT_TRUE(got == head + content.substr(c.offset, c.length));
    }
}

TEST(SigpipeIgnoreCountTest, ReleasesMatchAcquires) {
    ASSERT_FALSE(IsSigpipeIgnoreHeld());
    ASSERT_EQ(AcquireSigpipeIgnore(), kOk);
    ASSERT_EQ(AcquireSigpipeIgnore(), kOk);
    ReleaseSigpipeIgnore();
    EXPECT_TRUE(IsSigpipeIgnoreHeld());
    ReleaseSigpipeIgnore();
    EXPECT_FALSE(IsSigpipeIgnoreHeld());
    ReleaseSigpipeIgnore();
    EXPECT_FALSE(IsSigpipeIgnoreHeld());
    ASSERT_EQ(AcquireSigpipeIgnore(), kOk);
    EXPECT_TRUE(IsSigpipeIgnoreHeld());
    ReleaseSigpipeIgnore();
}

} // namespace
} // namespace Velto::Net
