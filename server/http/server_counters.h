#pragma once

#include <atomic>
#include <cstdint>

namespace Velto::Corvane {

// Traffic counters of one server, updated by connection threads and read
// without locks by whoever shows the status.
struct ServerCounters {
    std::atomic<std::uint64_t> bytesSent{0};
    std::atomic<std::uint64_t> bytesReceived{0};
    std::atomic<std::int32_t> activeConnections{0};
};

} // namespace Velto::Corvane
