#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Velto::Corvane {

// Slows password guessing per client address: the fifth failure of a series
// locks the address for a minute, and every later failure of the same series
// doubles the lock up to an hour. A day without failures starts a new series;
// a success ends it.
class AttemptLimiter {
public:
    static constexpr std::int32_t kFreeFailures = 4;
    static constexpr std::uint64_t kFirstLockMs = 60'000;
    static constexpr std::uint64_t kLongestLockMs = 3'600'000;
    static constexpr std::uint64_t kSeriesResetMs = 86'400'000;
    // Above this many entries, stale ones are pruned before a failure is recorded.
    static constexpr std::size_t kPruneAbove = 10000;

    AttemptLimiter() = default;
    AttemptLimiter(const AttemptLimiter&) = delete;
    AttemptLimiter& operator=(const AttemptLimiter&) = delete;

    // Milliseconds the address stays locked from `now`; 0 when it is free.
    std::uint64_t RemainingLock(std::string_view address, std::uint64_t now) const;
    // Records a failure; returns the length of the lock it starts, or 0.
    std::uint64_t RecordFailure(std::string_view address, std::uint64_t now);
    void Reset(std::string_view address);

    std::size_t Count() const;

private:
    struct Entry {
        std::int32_t failures{0};
        std::uint64_t backoff{0};
        std::uint64_t lockedUntil{0};
        std::uint64_t lastFailure{0};
    };

    mutable std::mutex m_mutex; // guards m_entries
    std::unordered_map<std::string, Entry> m_entries;
};

} // namespace Velto::Corvane
