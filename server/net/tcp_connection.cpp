#include "server/net/tcp_connection.h"

#include "base/clock.h"
#include "base/diag_log.h"
#include "base/interrupt_retry.h"
#include "base/socket_address_text.h"
#include "server/net/rate_window.h"
#include "server/net/tcp_acked_bytes.h"
#include "server/net/tcp_cork.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace Velto::Net {
namespace {

// System calls take signed 32-bit lengths on the other platform; we keep the
// same split so one call never moves more than this.
constexpr std::size_t kMaxIoChunk = 0x7FFFFFFF;
constexpr std::size_t kMaxGatherPieces = 4;
constexpr int kKeepAliveProbes = 10;
constexpr std::uint8_t kMaxTrafficType = 5;
constexpr std::uint8_t kMaxDscp = 63;
constexpr std::u16string_view kNetTag = u"Net";
// A receive time-out already in place is kept while it ends within this much
// of the deadline, so waits that start right after the deadline was set cost
// no option call; an earlier end only means one more wait.
constexpr std::uint64_t kDeadlineSlackMs = 50;
// A send call that waited this long asks the kernel what the peer read meanwhile.
constexpr std::uint64_t kLongSendWaitMs = 100;
constexpr int kUnsentLowWater = 262144;

int SecondsRoundedUp(std::uint32_t ms) {
    const std::uint64_t seconds = (static_cast<std::uint64_t>(ms) + 999) / 1000;
    return static_cast<int>(std::clamp<std::uint64_t>(seconds, 1, INT_MAX));
}

timeval TimevalFromMs(std::uint32_t ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return tv;
}

class TcpConnection final : public IConnection {
public:
    TcpConnection(UniqueFd socket, std::u16string label)
        : m_socket(std::move(socket)), m_label(std::move(label)) {}
    ~TcpConnection() override = default;

    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    Result Send(ByteSpan bytes) override {
        const std::lock_guard sendLock(m_sendMutex);
        const int fd = Handle();
        if (fd < 0)
            return kNotConnected;
        return SendAll(fd, bytes);
    }

    Result SendGather(std::span<const ByteSpan> pieces) override {
        const std::lock_guard sendLock(m_sendMutex);
        const int fd = Handle();
        if (fd < 0)
            return kNotConnected;

        iovec vectors[kMaxGatherPieces];
        std::size_t used = 0;
        std::size_t total = 0;
        bool tooMany = false;
        for (const ByteSpan piece : pieces) {
            if (piece.empty())
                continue;
            total += piece.size();
            if (used == kMaxGatherPieces) {
                tooMany = true;
                continue;
            }
            vectors[used++] = {const_cast<std::byte*>(piece.data()), piece.size()};
        }
        if (used == 0)
            return kOk;

        if (tooMany) // more pieces than one gathered call takes: coalesce and send once
            return SendAll(fd, JoinedPieces(pieces, total));

        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = used;
        const std::uint64_t start = TickCount64();
        const ssize_t sent = RetryOnInterrupt([&] { return ::sendmsg(fd, &message, MSG_NOSIGNAL); },
                                              [this] { return !m_shutdownRequested.load(); });
        if (!KeepsSendRate(start, sent))
            return RateFailure("send");
        if (sent < 0) {
            if (IsSendWaitOver(errno))
                return SendAll(fd, JoinedPieces(pieces, total));
            return MapSocketError("send", errno);
        }

        // Complete a short gathered send piece by piece.
        auto done = static_cast<std::size_t>(sent);
        for (std::size_t i = 0; i < used; ++i) {
            const std::size_t length = vectors[i].iov_len;
            if (done >= length) {
                done -= length;
                continue;
            }
            const auto* base = static_cast<const std::byte*>(vectors[i].iov_base);
            const Result result = SendAll(fd, ByteSpan(base + done, length - done));
            if (Failed(result))
                return result;
            done = 0;
        }
        return kOk;
    }

    Result Receive(std::span<std::byte> buffer, std::uint32_t& received) override {
        received = 0;
        const std::size_t want = std::min(buffer.size(), kMaxIoChunk);
        for (;;) {
            int fd = -1;
            bool bounded = false;
            {
                const std::lock_guard lock(m_stateMutex);
                if (!m_socket)
                    return kNotConnected;
                if (buffer.empty())
                    return kOk;
                fd = m_socket.Get();
                const std::uint64_t deadline = WaitDeadlineLocked();
                bounded = deadline != 0;
                const Result limited = FitWaitToDeadlineLocked(deadline);
                if (Failed(limited))
                    return limited;
            }
            const std::uint64_t start = TickCount64();
            const ssize_t got = RetryOnInterrupt([&] { return ::recv(fd, buffer.data(), want, 0); },
                                                 [this] { return !m_shutdownRequested.load(); });
            if (!KeepsReceiveRate(start, got))
                return RateFailure("recv");
            if (got < 0) {
                // Under a deadline a wait may end a little early; the next
                // round finds out whether the deadline has passed.
                if (bounded && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                    !m_shutdownRequested.load())
                    continue;
                return MapSocketError("recv", errno);
            }
            received = static_cast<std::uint32_t>(got);
            return kOk;
        }
    }

    Result ReceiveNow(std::span<std::byte> buffer, std::uint32_t& received) override {
        received = 0;
        const int fd = Handle();
        if (fd < 0)
            return kNotConnected;
        const std::size_t want = std::min(buffer.size(), kMaxIoChunk);
        if (want == 0)
            return kOk;
        const ssize_t got =
            RetryOnInterrupt([&] { return ::recv(fd, buffer.data(), want, MSG_DONTWAIT); },
                             [this] { return !m_shutdownRequested.load(); });
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return kWouldBlock;
            return MapSocketError("recv", errno);
        }
        received = static_cast<std::uint32_t>(got);
        return kOk;
    }

    void SetMinimumRate(std::uint32_t windowMs, std::uint64_t minBytes) override {
        const std::lock_guard sendLock(m_sendMutex);
        const std::lock_guard lock(m_stateMutex);
        m_sendRate = RateWindow(windowMs, minBytes);
        m_receiveRate = RateWindow(windowMs, minBytes);
        if (m_socket)
            m_ackedSeen = TcpAckedBytes(m_socket.Get()).value_or(0);
    }

    bool SetReceiveDeadline(std::uint64_t deadlineMs) override {
        const std::lock_guard lock(m_stateMutex);
        m_deadlineMs = deadlineMs;
        return true;
    }

    void Shutdown() override {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return;
        m_shutdownRequested.store(true);
        // shutdown() wakes calls blocked on the socket in other threads; it is
        // also the whole of the cancellation, so the "cancel" step cannot fail
        // apart from this call itself.
        if (::shutdown(m_socket.Get(), SHUT_RDWR) != 0 && errno != ENOTCONN &&
            !m_cancelFailureLogged.exchange(true)) {
            LogFailure("CancelIoEx failed; a call blocked on this socket may not wake on Shutdown",
                       ResultFromErrno(errno));
        }
    }

    Result SetReceiveTimeout(std::uint32_t ms) override {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return kNotConnected;
        m_receiveTimeoutMs = ms;
        if (m_deadlineMs != 0)
            return kOk; // applied once the deadline is removed
        return ApplyReceiveTimeoutLocked(ms);
    }

    Result SetSendTimeout(std::uint32_t ms) override {
        return SetTimeout(SO_SNDTIMEO, ms, "setsockopt(SO_SNDTIMEO)");
    }

    Result SetKeepAlive(std::uint32_t idleMs, std::uint32_t intervalMs) override {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return kNotConnected;
        const int fd = m_socket.Get();
        const int on = 1;
        const int idle = SecondsRoundedUp(idleMs);
        const int interval = SecondsRoundedUp(intervalMs);
        const int probes = kKeepAliveProbes;
        if (::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0 ||
            ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) != 0 ||
            ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) != 0 ||
            ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) != 0) {
            const Result result = ResultFromErrno(errno);
            LogFailure("WSAIoctl(SIO_KEEPALIVE_VALS)", result);
            return result;
        }
        return kOk;
    }

    // Traffic marking has no counterpart here; the arguments are still checked
    // so callers see the same answers.
    Result SetQos(QosPolicy policy) override {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return kNotConnected;
        if (policy.trafficType > kMaxTrafficType || policy.dscp > kMaxDscp)
            return kInvalidArg;
        return kOk;
    }

    void Close() override {
        const std::lock_guard lock(m_stateMutex);
        m_socket.Reset();
    }

    bool IsOpen() const override {
        const std::lock_guard lock(m_stateMutex);
        return m_socket.IsValid();
    }

    std::u16string PeerLabel() const override { return m_label; }

    bool IsNoDelay() const override {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return false;
        int value = 0;
        socklen_t length = sizeof value;
        if (::getsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, &value, &length) != 0)
            return false;
        return value != 0;
    }

    std::string PeerAddress() const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        {
            const std::lock_guard lock(m_stateMutex);
            if (!m_socket)
                return {};
            if (::getpeername(m_socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
                return {};
        }
        return SocketAddressText(address);
    }

    std::u16string PeerThumbprint() const override { return {}; }

    bool CanSendFile() const override { return true; }

    Result SendFile(int fd, std::uint64_t offset, std::uint64_t length) override {
        return SendHeadAndFile({}, fd, offset, length);
    }

    Result SendHeadAndFile(ByteSpan head, int fd, std::uint64_t offset,
                           std::uint64_t length) override {
        const std::lock_guard sendLock(m_sendMutex);
        const int socket = Handle();
        if (socket < 0)
            return kNotConnected;
        if (offset > static_cast<std::uint64_t>(LLONG_MAX))
            return kInvalidArg;
        // Corked, the head and the file leave in full segments, and the
        // waits for send-buffer space do not push out part-filled ones; the
        // rest goes out when the cork is pulled.
        const TcpCork cork(socket);
        const Result headSent = SendAll(socket, head);
        if (Failed(headSent))
            return headSent;
        return SendFileLocked(socket, fd, offset, length);
    }

private:
    Result SendFileLocked(int socket, int fd, std::uint64_t offset, std::uint64_t length) {
        auto position = static_cast<off_t>(offset);
        while (length > 0) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxIoChunk));
            const std::uint64_t start = TickCount64();
            const ssize_t sent = ::sendfile(socket, fd, &position, want);
            if (!KeepsSendRate(start, sent))
                return RateFailure("sendfile");
            if (sent < 0) {
                if ((errno == EINTR && !m_shutdownRequested.load()) || IsSendWaitOver(errno))
                    continue;
                return MapSocketError("sendfile", errno);
            }
            if (sent == 0)
                return kFail; // the file ended before the range did
            length -= static_cast<std::uint64_t>(sent);
        }
        return kOk;
    }

    int Handle() const {
        const std::lock_guard lock(m_stateMutex);
        return m_socket.Get();
    }

    Result SendAll(int fd, ByteSpan bytes) {
        while (!bytes.empty()) {
            const std::size_t want = std::min(bytes.size(), kMaxIoChunk);
            const std::uint64_t start = TickCount64();
            const ssize_t sent =
                RetryOnInterrupt([&] { return ::send(fd, bytes.data(), want, MSG_NOSIGNAL); },
                                 [this] { return !m_shutdownRequested.load(); });
            if (!KeepsSendRate(start, sent))
                return RateFailure("send");
            if (sent < 0) {
                if (IsSendWaitOver(errno))
                    continue;
                return MapSocketError("send", errno);
            }
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
        }
        return kOk;
    }

    static std::vector<std::byte> JoinedPieces(std::span<const ByteSpan> pieces,
                                               std::size_t total) {
        std::vector<std::byte> joined;
        joined.reserve(total);
        for (const ByteSpan piece : pieces)
            joined.insert(joined.end(), piece.begin(), piece.end());
        return joined;
    }

    // A send that ended on the send time-out without moving a byte. Under a
    // minimum rate the window, not one wait, decides when to give up: the
    // send is tried again while the window holds.
    bool IsSendWaitOver(int error) const {
        return (error == EAGAIN || error == EWOULDBLOCK) && m_sendRate.IsActive() &&
               !m_shutdownRequested.load();
    }

    // Adds one send call's wait and progress to the send window (m_sendMutex
    // held); false once the peer has read too slowly. A call that waited
    // long is judged by what the peer acknowledged meanwhile: with large
    // buffers a slow but steady reader frees space in big steps, and the call
    // may wait long for one while the peer keeps reading.
    bool KeepsSendRate(std::uint64_t start, ssize_t sent) {
        if (!m_sendRate.IsActive())
            return true;
        const std::uint64_t waited = TickCount64() - start;
        std::uint64_t moved = sent > 0 ? static_cast<std::uint64_t>(sent) : 0;
        if (waited >= kLongSendWaitMs) {
            const int fd = Handle();
            if (const std::optional<std::uint64_t> acked =
                    fd < 0 ? std::nullopt : TcpAckedBytes(fd)) {
                moved = std::max(moved, *acked - std::min(*acked, m_ackedSeen));
                m_ackedSeen = *acked;
            }
        }
        return m_sendRate.Record(waited, moved);
    }

    bool KeepsReceiveRate(std::uint64_t start, ssize_t got) {
        const std::lock_guard lock(m_stateMutex);
        if (!m_receiveRate.IsActive())
            return true;
        return m_receiveRate.Record(TickCount64() - start,
                                    got > 0 ? static_cast<std::uint64_t>(got) : 0);
    }

    Result RateFailure(const char* what) {
        char text[96];
        std::snprintf(text, sizeof text, "%s: the peer stayed below the minimum rate", what);
        DiagLog::Instance().Log(LogLevel::Info, kNetTag, std::string_view(text));
        return kTimedOut;
    }

    Result SetTimeout(int option, std::uint32_t ms, const char* what) {
        const std::lock_guard lock(m_stateMutex);
        if (!m_socket)
            return kNotConnected;
        return SetTimeoutLocked(option, ms, what);
    }

    Result SetTimeoutLocked(int option, std::uint32_t ms, const char* what) {
        const timeval tv = TimevalFromMs(ms);
        if (::setsockopt(m_socket.Get(), SOL_SOCKET, option, &tv, sizeof tv) != 0) {
            const Result result = ResultFromErrno(errno);
            LogFailure(what, result);
            return result;
        }
        return kOk;
    }

    // The socket keeps the last receive time-out it was given, so asking for
    // the same one again costs no system call.
    Result ApplyReceiveTimeoutLocked(std::uint32_t ms) {
        if (m_appliedReceiveMs == ms)
            return kOk;
        const Result result = SetTimeoutLocked(SO_RCVTIMEO, ms, "setsockopt(SO_RCVTIMEO)");
        if (Succeeded(result))
            m_appliedReceiveMs = ms;
        return result;
    }

    // The end of the next receive's wait: the deadline, or under a minimum
    // rate the end of the window when that comes first; 0 for none.
    std::uint64_t WaitDeadlineLocked() const {
        if (!m_receiveRate.IsActive())
            return m_deadlineMs;
        const std::uint64_t windowEnd = TickCount64() + m_receiveRate.WaitLeftMs() + 1;
        return m_deadlineMs == 0 ? windowEnd : std::min(m_deadlineMs, windowEnd);
    }

    // Before a receive: without a deadline the receive time-out applies; with
    // one, the wait is cut to the time left, and a deadline already passed
    // fails the receive without waiting at all.
    Result FitWaitToDeadlineLocked(std::uint64_t deadline) {
        if (deadline == 0)
            return ApplyReceiveTimeoutLocked(m_receiveTimeoutMs);
        const std::uint64_t now = TickCount64();
        if (now >= deadline) {
            LogFailure("recv", kTimedOut);
            return kTimedOut;
        }
        const std::uint64_t left = std::min<std::uint64_t>(deadline - now, UINT32_MAX);
        // A short time-out is always set afresh: kept, it could end many
        // waits early in a row.
        const std::uint64_t applied = m_appliedReceiveMs;
        if (applied >= kDeadlineSlackMs && applied <= left + kDeadlineSlackMs &&
            applied + kDeadlineSlackMs >= left)
            return kOk;
        return ApplyReceiveTimeoutLocked(static_cast<std::uint32_t>(left));
    }

    // After our own Shutdown every failure is the expected end of the call and
    // only worth a debug record.
    Result MapSocketError(const char* what, int error) {
        const Result result = ResultFromErrno(error);
        if (m_shutdownRequested.load()) {
            char text[64];
            std::snprintf(text, sizeof text, "%s ended by the local shutdown", what);
            DiagLog::Instance().Log(LogLevel::Debug, kNetTag, std::string_view(text));
            return result;
        }
        LogFailure(what, result);
        return result;
    }

    UniqueFd m_socket; // guarded by m_stateMutex
    // Receive waits, guarded by m_stateMutex: the time-out asked for, the one
    // the socket has now (0 = none, as a new socket starts), and the deadline.
    std::uint32_t m_receiveTimeoutMs{0};
    std::uint32_t m_appliedReceiveMs{0};
    std::uint64_t m_deadlineMs{0};
    RateWindow m_receiveRate;     // guarded by m_stateMutex
    RateWindow m_sendRate;        // guarded by m_sendMutex
    std::uint64_t m_ackedSeen{0}; // the peer's acknowledged bytes at the last look, ditto
    const std::u16string m_label;
    std::atomic<bool> m_shutdownRequested{false};
    std::atomic<bool> m_cancelFailureLogged{false};
    std::mutex m_sendMutex;          // serialises Send, SendGather and SendFile
    mutable std::mutex m_stateMutex; // guards m_socket and every option call
};

} // namespace

std::unique_ptr<IConnection> MakeTcpConnection(UniqueFd& socket, std::u16string label) {
    const int one = 1;
    if (::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
        DiagLog::Instance().Log(LogLevel::Warning, kNetTag,
                                std::string_view("setsockopt(TCP_NODELAY) failed; continuing"));
    }
    // Bytes queued beyond what the peer's window lets out stay below this,
    // so a peer that reads slowly, or not at all, pins little kernel memory
    // (without it each pins the whole autotuned send buffer, 4 MiB, and a
    // thousand of them exhaust the machine's TCP memory for everyone). The
    // data in flight is not limited: a fast peer is not slowed.
    const int lowWater = kUnsentLowWater;
    (void)::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &lowWater, sizeof lowWater);
    return std::make_unique<TcpConnection>(std::move(socket), std::move(label));
}

} // namespace Velto::Net
