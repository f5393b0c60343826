#pragma once

#include <cstdint>

namespace Velto::Net {

// A minimum transfer rate for one direction of a connection, measured over
// the time actually spent waiting on the peer: a window closes as soon as it
// has seen `minBytes`, and fails when `windowMs` of waiting pass before that.
// A slow but honest link fills every window; a peer that trickles a byte now
// and then, or reads a few bytes at a time, does not. Time the program spends
// on its own work between waits never counts.
class RateWindow {
public:
    RateWindow() = default;
    RateWindow(std::uint32_t windowMs, std::uint64_t minBytes)
        : m_windowMs(windowMs), m_minBytes(minBytes) {}

    bool IsActive() const { return m_windowMs != 0 && m_minBytes != 0; }
    // How long the next wait may last before the window would fail.
    std::uint64_t WaitLeftMs() const {
        return m_waitedMs >= m_windowMs ? 0 : m_windowMs - m_waitedMs;
    }
    // Adds one finished wait and what it moved; false once the window has
    // failed (and from then on).
    bool Record(std::uint64_t waitedMs, std::uint64_t bytes) {
        if (!IsActive() || m_failed)
            return !m_failed;
        m_waitedMs += waitedMs;
        m_bytes += bytes;
        if (m_bytes >= m_minBytes) {
            m_waitedMs = 0;
            m_bytes = 0;
            return true;
        }
        m_failed = m_waitedMs >= m_windowMs;
        return !m_failed;
    }
    bool HasFailed() const { return m_failed; }

private:
    std::uint32_t m_windowMs{0};
    std::uint64_t m_minBytes{0};
    std::uint64_t m_waitedMs{0};
    std::uint64_t m_bytes{0};
    bool m_failed{false};
};

} // namespace Velto::Net
