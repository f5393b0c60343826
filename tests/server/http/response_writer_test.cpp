#include "server/http/connection_io.h"
#include "server/http/response_writer.h"
#include "server/net/tcp_connection.h"
#include "tests/support/forwarding_connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>

namespace Velto::Corvane {
namespace {

// Hides the zero-copy path of a real connection, the way a TLS connection
// does, so file bodies take the read-and-send route.
using CopyOnlyConnection = Testing::ForwardingConnection;

enum class BodyWay { Write, FileRange, FileRangeCopied };

const char* WayName(BodyWay way) {
    switch (way) {
    case BodyWay::Write:
        return "written";
    case BodyWay::FileRange:
        return "file range";
    case BodyWay::FileRangeCopied:
        return "file range, copied";
    }
    return "?";
}

struct Outcome {
    std::string wire;
    bool writeOk{false};
    bool finishOk{false};
    std::uint64_t counted{0};
};

// Writes one response with the body `content[offset, offset+length)` taken
// the given way, and returns the exact bytes that left the connection.
Outcome Produce(BodyWay way, const HttpRequest& request, bool chunked, int fd,
                const std::string& content, std::uint64_t offset, std::uint64_t length) {
    int sockets[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    UniqueFd reader(sockets[0]);
    UniqueFd writerSocket(sockets[1]);
    std::unique_ptr<Net::IConnection> tcp = Net::MakeTcpConnection(writerSocket, u"");
    std::shared_ptr<Net::IConnection> connection;
    if (way == BodyWay::FileRangeCopied)
        connection = std::make_shared<CopyOnlyConnection>(std::move(tcp));
    else
        connection = std::move(tcp);

    Outcome outcome;
    std::thread drain([&] {
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(reader.Get(), buffer, sizeof buffer)) > 0)
            outcome.wire.append(buffer, static_cast<std::size_t>(got));
    });
    {
        ServerCounters counters;
        ConnectionIo io(connection, counters);
        ResponseWriter writer(io, request, true);
        writer.AddHeader("Content-Type", "application/octet-stream");
        if (chunked)
            writer.BeginChunked(200);
        else
            writer.Begin(200, length);
        if (way == BodyWay::Write) {
            const std::string_view body = std::string_view(content).substr(offset, length);
            outcome.writeOk = writer.Write(std::as_bytes(std::span(body)));
        } else {
            outcome.writeOk = writer.WriteFileRange(fd, offset, length);
        }
        outcome.finishOk = writer.Finish();
        outcome.counted = counters.bytesSent.load();
        connection->Close();
    }
    drain.join();
    return outcome;
}

class FileRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[] = "/tmp/velto-range-XXXXXX";
        file = UniqueFd(::mkstemp(path));
        ASSERT_TRUE(file.IsValid());
        ::unlink(path);
        std::mt19937 random(7);
        content.resize(700 * 1024);
        for (char& c : content)
            c = static_cast<char>(random());
        ASSERT_EQ(::write(file.Get(), content.data(), content.size()),
                  static_cast<ssize_t>(content.size()));
    }

    UniqueFd file;
    std::string content;
};

TEST_F(FileRangeTest, FileBodiesLeaveTheSameBytesAsWrite) {
    struct Case {
        const char* name;
        const char* method;
        int version;
        bool chunked;
    };
    const Case cases[] = {
        {"length", "GET", 1, false},
        {"chunked", "GET", 1, true},
        {"HEAD", "HEAD", 1, false},
        {"HTTP/1.0 unframed", "GET", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpRequest request;
        request.method = c.method;
        request.head.version = c.version;
        const Outcome written =
            Produce(BodyWay::Write, request, c.chunked, file.Get(), content, 1000, 600000);
        ASSERT_TRUE(written.writeOk);
        ASSERT_TRUE(written.finishOk);
        EXPECT_EQ(written.counted, written.wire.size());
        for (const BodyWay way : {BodyWay::FileRange, BodyWay::FileRangeCopied}) {
            SCOPED_TRACE(WayName(way));
            const Outcome sent =
                Produce(way, request, c.chunked, file.Get(), content, 1000, 600000);
            EXPECT_TRUE(sent.writeOk);
            EXPECT_TRUE(sent.finishOk);
            EXPECT_TRUE(sent.wire == written.wire);
            EXPECT_EQ(sent.counted, sent.wire.size());
        }
    }
}

TEST_F(FileRangeTest, SmallRangesLeaveTheSameBytesAsWrite) {
    // Small ranges leave with the head in one send; the bytes must not change
    // at the size where the way of sending does.
    HttpRequest request;
    request.method = "GET";
    for (const std::uint64_t length : {1u, 1024u, 16383u, 16384u, 16385u, 40000u}) {
        SCOPED_TRACE(length);
        const Outcome written =
            Produce(BodyWay::Write, request, false, file.Get(), content, 777, length);
        ASSERT_TRUE(written.writeOk && written.finishOk);
        ASSERT_EQ(written.wire.size(), written.counted);
        ASSERT_TRUE(written.wire.ends_with(content.substr(777, length)));
        for (const BodyWay way : {BodyWay::FileRange, BodyWay::FileRangeCopied}) {
            SCOPED_TRACE(WayName(way));
            const Outcome sent = Produce(way, request, false, file.Get(), content, 777, length);
            EXPECT_TRUE(sent.writeOk && sent.finishOk);
            EXPECT_TRUE(sent.wire == written.wire);
            EXPECT_EQ(sent.counted, sent.wire.size());
        }
    }
}

TEST_F(FileRangeTest, RangePastTheEndOfTheFileFailsTheResponse) {
    HttpRequest request;
    request.method = "GET";
    for (const BodyWay way : {BodyWay::FileRange, BodyWay::FileRangeCopied}) {
        SCOPED_TRACE(WayName(way));
        const Outcome outcome =
            Produce(way, request, false, file.Get(), content, content.size() - 100, 101);
        EXPECT_FALSE(outcome.writeOk);
        EXPECT_FALSE(outcome.finishOk);
        EXPECT_TRUE(outcome.wire.ends_with(content.substr(content.size() - 100)));
        EXPECT_TRUE(outcome.wire.starts_with("HTTP/1.1 200 OK\r\n"));
    }
}

TEST(ResponseWriterTest, DeclaredBodyNeverWrittenStillSendsTheHead) {
    // The head of a response with a body waits for the body's first bytes; a
    // handler that writes none (or too many) still puts the head on the wire.
    for (const bool overrun : {false, true}) {
        SCOPED_TRACE(overrun);
        int sockets[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        UniqueFd reader(sockets[0]);
        UniqueFd writerSocket(sockets[1]);
        std::shared_ptr<Net::IConnection> connection = Net::MakeTcpConnection(writerSocket, u"");
        HttpRequest request;
        request.method = "GET";
        ServerCounters counters;
        {
            ConnectionIo io(connection, counters);
            ResponseWriter writer(io, request, true);
            ASSERT_TRUE(writer.Begin(200, 10));
            if (overrun) {
                const std::string_view tooLong = "eleven byte";
                EXPECT_FALSE(writer.Write(std::as_bytes(std::span(tooLong))));
            }
            EXPECT_FALSE(writer.Finish());
        }
        connection->Close();
        std::string wire;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(reader.Get(), buffer, sizeof buffer)) > 0)
            wire.append(buffer, static_cast<std::size_t>(got));
        EXPECT_TRUE(wire.starts_with("HTTP/1.1 200 OK\r\n"));
        EXPECT_NE(wire.find("Content-Length: 10\r\n"), std::string::npos);
        EXPECT_TRUE(wire.ends_with("\r\n\r\n"));
        EXPECT_EQ(counters.bytesSent.load(), wire.size());
    }
}

} // namespace
} // namespace Velto::Corvane
