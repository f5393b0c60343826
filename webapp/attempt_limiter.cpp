#include "webapp/attempt_limiter.h"

#include <algorithm>
#include <limits>

namespace Velto::Corvane {

namespace {

std::uint64_t Elapsed(std::uint64_t now, std::uint64_t earlier) {
    return earlier > now ? 0 : now - earlier;
}

} // namespace

std::uint64_t AttemptLimiter::RemainingLock(std::string_view address, std::uint64_t now) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(std::string(address));
    if (it == m_entries.end() || it->second.lockedUntil <= now)
        return 0;
    return it->second.lockedUntil - now;
}

std::uint64_t AttemptLimiter::RecordFailure(std::string_view address, std::uint64_t now) {
    const std::lock_guard lock(m_mutex);
    if (m_entries.size() > kPruneAbove) {
        std::erase_if(m_entries, [&](const auto& pair) {
            return Elapsed(now, pair.second.lastFailure) > kSeriesResetMs &&
                   pair.second.lockedUntil <= now;
        });
    }
    Entry& entry = m_entries[std::string(address)];
    if (entry.failures > 0 && Elapsed(now, entry.lastFailure) > kSeriesResetMs)
        entry = Entry{};

    const std::int32_t previous = entry.failures;
    if (previous < std::numeric_limits<std::int32_t>::max())
        entry.failures = previous + 1;
    entry.lastFailure = now;
    if (previous < kFreeFailures)
        return 0;
    entry.backoff = entry.backoff == 0 ? kFirstLockMs : std::min(entry.backoff * 2, kLongestLockMs);
    entry.lockedUntil = now + entry.backoff;
    return entry.backoff;
}

void AttemptLimiter::Reset(std::string_view address) {
    const std::lock_guard lock(m_mutex);
    m_entries.erase(std::string(address));
}

std::size_t AttemptLimiter::Count() const {
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace Velto::Corvane
