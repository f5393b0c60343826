#pragma once

#include "base/result.h"

#include <cstdint>
#include <span>
#include <string>

namespace Velto {
// A receive that was asked not to wait found nothing to read yet.
constexpr Result kWouldBlock = static_cast<Result>(0x80072733u); // WSAEWOULDBLOCK
} // namespace Velto

namespace Velto::Net {

// Traffic class for SetQos: qWAVE-style traffic type 0..5 and DSCP 0..63
// (0 = join the flow but leave the marking alone).
struct QosPolicy {
    std::uint8_t trafficType{0};
    std::uint8_t dscp{0};
};

using ByteSpan = std::span<const std::byte>;

// A blocking, bidirectional byte stream with time-outs. Shutdown may be called
// from any thread to wake a reader or writer blocked in another thread.
class IConnection {
public:
    virtual ~IConnection() = default;

    virtual Result Send(ByteSpan bytes) = 0;
    virtual Result SendGather(std::span<const ByteSpan> pieces) = 0;
    // received = 0 with result 0 means the peer closed its sending side.
    virtual Result Receive(std::span<std::byte> buffer, std::uint32_t& received) = 0;
    // Receive without waiting: kWouldBlock when nothing has arrived yet (for
    // TLS: no whole record), with anything partly received kept for later.
    virtual Result ReceiveNow(std::span<std::byte> buffer, std::uint32_t& received) = 0;
    virtual void Shutdown() = 0;
    virtual Result SetReceiveTimeout(std::uint32_t ms) = 0;
    virtual Result SetSendTimeout(std::uint32_t ms) = 0;
    virtual Result SetKeepAlive(std::uint32_t idleMs, std::uint32_t intervalMs) = 0;
    virtual Result SetQos(QosPolicy policy) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual std::u16string PeerLabel() const = 0;
    virtual bool IsNoDelay() const = 0;
    virtual std::string PeerAddress() const = 0;
    virtual std::u16string PeerThumbprint() const = 0;

    // Extension for plain sockets: sends `length` bytes of `fd` from `offset`
    // without copying them through user space. Connections that cannot do this
    // (TLS) return false and the caller falls back to reading and Send.
    virtual bool CanSendFile() const { return false; }
    virtual Result SendFile(int fd, std::uint64_t offset, std::uint64_t length) {
        (void)fd;
        (void)offset;
        (void)length;
        return kInvalidArg;
    }
    // `head`, then `length` bytes of `fd` from `offset`, leaving as full
    // segments: the head does not go out as a packet of its own.
    virtual Result SendHeadAndFile(ByteSpan head, int fd, std::uint64_t offset,
                                   std::uint64_t length) {
        const Result sent = Send(head);
        return Failed(sent) ? sent : SendFile(fd, offset, length);
    }

    // Extension for plain sockets: from now on every Receive waits at most
    // until `deadlineMs` on the TickCount64 clock and fails with kTimedOut once
    // it has passed, however slowly the bytes trickle in. While a deadline is
    // set it takes the place of the receive time-out; 0 removes it and the
    // time-out applies again. Connections that cannot keep one return false.
    virtual bool SetReceiveDeadline(std::uint64_t deadlineMs) {
        (void)deadlineMs;
        return false;
    }

    // Extension for plain sockets: waits on the peer, in either direction,
    // must move at least `minBytes` per `windowMs` of waiting (see
    // RateWindow); a receive or send that falls below fails with kTimedOut.
    // Connections over another one pass it down.
    virtual void SetMinimumRate(std::uint32_t windowMs, std::uint64_t minBytes) {
        (void)windowMs;
        (void)minBytes;
    }
};

} // namespace Velto::Net
