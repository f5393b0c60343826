#include "webapp/attempt_limiter.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace Velto::Corvane {

namespace {

std::uint64_t Elapsed(std::uint64_t now, std::uint64_t earlier) {
    return earlier > now ? 0 : now - earlier;
}

bool SeriesExpired(std::int32_t failures, std::uint64_t lastFailure, std::uint64_t now) {
    return failures > 0 && Elapsed(now, lastFailure) > AttemptLimiter::kSeriesResetMs;
}

} // namespace

AttemptLimiter::Attempt::Attempt(AttemptLimiter& limiter, std::string_view address)
    : m_limiter(&limiter), m_address(address) {}

AttemptLimiter::Attempt::Attempt(Attempt&& other) noexcept
    : m_limiter(std::exchange(other.m_limiter, nullptr)), m_address(std::move(other.m_address)) {}

AttemptLimiter::Attempt::~Attempt() {
    if (m_limiter != nullptr)
        m_limiter->Abandon(m_address);
}

void AttemptLimiter::Attempt::Succeeded() {
    if (m_limiter != nullptr)
        std::exchange(m_limiter, nullptr)->Succeed(m_address);
}

std::uint64_t AttemptLimiter::Attempt::Failed(std::uint64_t now) {
    if (m_limiter == nullptr)
        return 0;
    return std::exchange(m_limiter, nullptr)->Fail(m_address, now);
}

AttemptLimiter::Admission AttemptLimiter::Begin(std::string_view address, std::uint64_t now) {
    const std::lock_guard lock(m_mutex);
    Entry& entry = m_entries[std::string(address)];
    if (SeriesExpired(entry.failures, entry.lastFailure, now))
        entry = Entry{.checking = entry.checking};
    if (entry.lockedUntil > now)
        return {std::nullopt, entry.lockedUntil - now};
    // Counting every check under way as a failure: admit this one only if
    // the failures so far and those checks would not yet have locked the
    // address. After a lock has run out that leaves room for one check.
    if (entry.checking > 0 && entry.failures + entry.checking > kFreeFailures) {
        const std::uint64_t next =
            entry.backoff == 0 ? kFirstLockMs : std::min(entry.backoff * 2, kLongestLockMs);
        return {std::nullopt, next};
    }
    ++entry.checking;
    return {Attempt(*this, address), 0};
}

std::uint64_t AttemptLimiter::RemainingLock(std::string_view address, std::uint64_t now) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(std::string(address));
    if (it == m_entries.end() || it->second.lockedUntil <= now)
        return 0;
    return it->second.lockedUntil - now;
}

std::uint64_t AttemptLimiter::RecordFailure(std::string_view address, std::uint64_t now) {
    const std::lock_guard lock(m_mutex);
    return RecordFailureLocked(address, now);
}

std::uint64_t AttemptLimiter::RecordFailureLocked(std::string_view address, std::uint64_t now) {
    if (m_entries.size() > kPruneAbove) {
        std::erase_if(m_entries, [&](const auto& pair) {
            const Entry& entry = pair.second;
            return entry.checking == 0 && Elapsed(now, entry.lastFailure) > kSeriesResetMs &&
                   entry.lockedUntil <= now;
        });
    }
    Entry& entry = m_entries[std::string(address)];
    if (SeriesExpired(entry.failures, entry.lastFailure, now))
        entry = Entry{.checking = entry.checking};

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
    ResetLocked(address);
}

void AttemptLimiter::ResetLocked(std::string_view address) {
    const auto it = m_entries.find(std::string(address));
    if (it == m_entries.end())
        return;
    if (it->second.checking == 0)
        m_entries.erase(it);
    else
        it->second = Entry{.checking = it->second.checking};
}

void AttemptLimiter::ReleaseLocked(std::string_view address) {
    const auto it = m_entries.find(std::string(address));
    if (it == m_entries.end())
        return;
    Entry& entry = it->second;
    if (entry.checking > 0)
        --entry.checking;
    if (entry.checking == 0 && entry.failures == 0)
        m_entries.erase(it);
}

void AttemptLimiter::Abandon(std::string_view address) {
    const std::lock_guard lock(m_mutex);
    ReleaseLocked(address);
}

void AttemptLimiter::Succeed(std::string_view address) {
    const std::lock_guard lock(m_mutex);
    ReleaseLocked(address);
    ResetLocked(address);
}

std::uint64_t AttemptLimiter::Fail(std::string_view address, std::uint64_t now) {
    const std::lock_guard lock(m_mutex);
    ReleaseLocked(address);
    return RecordFailureLocked(address, now);
}

std::size_t AttemptLimiter::Count() const {
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace Velto::Corvane
