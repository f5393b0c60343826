#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Velto::Corvane {

// Slows password guessing per client address: the fifth failure of a series
// locks the address for a minute, and every later failure of the same series
// doubles the lock up to an hour. A day without failures starts a new series;
// a success ends it.
//
// A password check is counted before it runs: Begin admits it only while the
// checks already under way, were they all to fail, would not lock the address.
// So however many requests arrive at once, no more wrong passwords are ever
// checked than a strictly sequential visitor would get checked.
class AttemptLimiter {
public:
    static constexpr std::int32_t kFreeFailures = 4;
    static constexpr std::uint64_t kFirstLockMs = 60'000;
    static constexpr std::uint64_t kLongestLockMs = 3'600'000;
    static constexpr std::uint64_t kSeriesResetMs = 86'400'000;
    // Above this many entries, stale ones are pruned before a failure is recorded.
    static constexpr std::size_t kPruneAbove = 10000;

    // One admitted password check. Until it is settled it holds one of its
    // address's places; one dropped unsettled (the request ended before a
    // password was checked) gives its place back without counting.
    class Attempt {
    public:
        Attempt(Attempt&& other) noexcept;
        Attempt(const Attempt&) = delete;
        Attempt& operator=(const Attempt&) = delete;
        Attempt& operator=(Attempt&&) = delete;
        ~Attempt();

        // The password was right: the address's series ends.
        void Succeeded();
        // The password was wrong: counts the failure; returns the length of
        // the lock it starts, or 0.
        std::uint64_t Failed(std::uint64_t now);

    private:
        friend class AttemptLimiter;
        Attempt(AttemptLimiter& limiter, std::string_view address);

        AttemptLimiter* m_limiter; // null once settled or moved from
        std::string m_address;
    };

    // Either an admitted attempt, or the milliseconds the visitor is asked to
    // wait: the rest of the running lock, or the lock that the checks under
    // way would start.
    struct Admission {
        std::optional<Attempt> attempt;
        std::uint64_t waitMs{0};
    };

    AttemptLimiter() = default;
    AttemptLimiter(const AttemptLimiter&) = delete;
    AttemptLimiter& operator=(const AttemptLimiter&) = delete;

    Admission Begin(std::string_view address, std::uint64_t now);

    // Milliseconds the address stays locked from `now`; 0 when it is free.
    std::uint64_t RemainingLock(std::string_view address, std::uint64_t now) const;
    // Records a failure; returns the length of the lock it starts, or 0.
    std::uint64_t RecordFailure(std::string_view address, std::uint64_t now);
    // Ends the address's series (checks still under way keep their places).
    void Reset(std::string_view address);

    std::size_t Count() const;

private:
    struct Entry {
        std::int32_t failures{0};
        std::uint64_t backoff{0};
        std::uint64_t lockedUntil{0};
        std::uint64_t lastFailure{0};
        std::int32_t checking{0}; // admitted attempts not yet settled
    };

    std::uint64_t RecordFailureLocked(std::string_view address, std::uint64_t now);
    void ResetLocked(std::string_view address);
    // Gives back an attempt's place; the entry goes when it holds nothing else.
    void ReleaseLocked(std::string_view address);
    void Abandon(std::string_view address);
    void Succeed(std::string_view address);
    std::uint64_t Fail(std::string_view address, std::uint64_t now);

    mutable std::mutex m_mutex; // guards m_entries
    std::unordered_map<std::string, Entry> m_entries;
};

} // namespace Velto::Corvane
