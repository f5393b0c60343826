// Many maximum-size JSON bodies at once, with the process's memory measured.
// The server runs in this process (and alone in this test program), so the
// resident size of the process is the server's.
#include "tests/webapp/web_app_fixture.h"

#include "base/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <fstream>
#include <thread>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kClients = 64;
constexpr std::uint64_t kMiB = 1048576;
// What the burst may add to the process at its peak, and what may stay after
// it: a few megabytes of what the connection threads freed stay with the
// allocator's per-thread arenas.
constexpr std::uint64_t kPeakGrowthLimit = 64 * kMiB;
constexpr std::uint64_t kLeftoverLimit = 16 * kMiB;
constexpr int kReceiveTimeoutSeconds = 30;
constexpr auto kSampleInterval = std::chrono::milliseconds(1);
constexpr std::size_t kReadPiece = 4096;

// A /proc/self/status field in bytes ("VmRSS", "VmHWM").
std::uint64_t StatusBytes(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with(field) || line.size() <= field.size() || line[field.size()] != ':')
            continue;
        const std::size_t digits = line.find_first_of("0123456789");
        std::uint64_t kib = 0;
        std::from_chars(line.data() + digits, line.data() + line.size(), kib);
        return kib * 1024;
    }
    ADD_FAILURE() << field << " missing from /proc/self/status";
    return 0;
}

// The densest body there is: an array of zeros, exactly as long as allowed.
std::string Zeros(std::size_t size) {
    std::string text = "[0";
    while (text.size() + 3 <= size)
        text += ",0";
    text += ']';
    text.resize(size, ' ');
    return text;
}

// One connection from its own loopback address (127.0.0.2 and up), so that
// the burst is not limited by what a single address may hold.
UniqueFd ConnectFrom(int client, std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return {};
    timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + static_cast<std::uint32_t>(client));
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        return {};
    return fd;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// The reply's status line and body (framed by Content-Length).
std::string ReadReply(int fd) {
    std::string data;
    char piece[kReadPiece];
    for (;;) {
        const std::size_t headEnd = data.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            const std::size_t at = data.find("Content-Length: ");
            std::size_t length = 0;
            if (at != std::string::npos && at < headEnd)
                std::from_chars(data.data() + at + 16, data.data() + headEnd, length);
            if (data.size() >= headEnd + 4 + length)
                return data.substr(0, data.find("\r\n")) + " " + data.substr(headEnd + 4, length);
        }
        const ssize_t got = ::recv(fd, piece, sizeof piece, 0);
        if (got <= 0)
            return data;
        data.append(piece, static_cast<std::size_t>(got));
    }
}

std::string Request(std::string_view body) {
    return "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nx-veltocorvane: 1\r\n"
           "Content-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

class JsonMemory : public WebAppFixture {
protected:
    // Sends `request` on kClients connections at once and expects `reply` on
    // each: every request but its last byte first, so that the server holds
    // all of them together, then the last bytes.
    void SendBurst(std::string_view request, std::string_view reply) {
        std::vector<UniqueFd> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(ConnectFrom(i, Port()));
            ASSERT_TRUE(clients.back()) << "client " << i;
            ASSERT_TRUE(SendAll(clients.back().Get(), request.substr(0, request.size() - 1)));
        }
        for (const UniqueFd& client : clients)
            ASSERT_TRUE(SendAll(client.Get(), request.substr(request.size() - 1)));
        for (int i = 0; i < kClients; ++i)
            EXPECT_EQ(ReadReply(clients[i].Get()), reply) << "client " << i;
    }
};

// Sanitizers keep freed memory in quarantine and map shadow memory: the
// resident size then says nothing about the server.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

TEST_F(JsonMemory, ConcurrentMaximumBodiesCostLittleAndTheMemoryReturns) {
    if (!kMemoryIsMeasurable)
        GTEST_SKIP() << "memory is not measurable under a sanitizer";
    const std::string refused = R"(HTTP/1.1 400 Bad Request {"error":"badRequest"})";

    // The same burst with tiny bodies first: the threads of 64 connections,
    // and whatever else the server sets up once, belong to the baseline.
    SendBurst(Request("[0]"), refused);
    LogEntries(); // waits until the server has no connection left
    const std::uint64_t baseline = StatusBytes("VmRSS");

    // The peak: the kernel's high-water mark, reset here, and our own samples.
    std::ofstream("/proc/self/clear_refs") << "5";
    std::atomic<bool> sampling{true};
    std::atomic<std::uint64_t> sampledPeak{baseline};
    std::thread sampler([&] {
        while (sampling.load()) {
            const std::uint64_t now = StatusBytes("VmRSS");
            if (now > sampledPeak.load())
                sampledPeak.store(now);
            std::this_thread::sleep_for(kSampleInterval);
        }
    });

    SendBurst(Request(Zeros(WebApp::kMaxJsonBodyBytes)), refused);

    sampling.store(false);
    sampler.join();
    const std::uint64_t peak = std::max(StatusBytes("VmHWM"), sampledPeak.load());
    LogEntries();
    const std::uint64_t after = StatusBytes("VmRSS");

    RecordProperty("baselineKiB", std::to_string(baseline / 1024));
    RecordProperty("peakKiB", std::to_string(peak / 1024));
    RecordProperty("afterKiB", std::to_string(after / 1024));
    EXPECT_LE(peak, baseline + kPeakGrowthLimit)
        << "baseline " << baseline / 1024 << " KiB, peak " << peak / 1024 << " KiB";
    EXPECT_LE(after, baseline + kLeftoverLimit)
        << "baseline " << baseline / 1024 << " KiB, after " << after / 1024 << " KiB";
}

} // namespace
} // namespace Velto::Corvane::Testing
