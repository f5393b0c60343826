#include "webapp/attempt_limiter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Velto::Corvane {
namespace {

constexpr std::uint64_t kDay = AttemptLimiter::kSeriesResetMs;

TEST(AttemptLimiter, FifthFailureLocksAndEachLaterOneDoublesUpToAnHour) {
    AttemptLimiter limiter;
    std::uint64_t now = 1'000'000;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(limiter.RecordFailure("10.0.0.1", now), 0u) << "failure " << i + 1;
        EXPECT_EQ(limiter.RemainingLock("10.0.0.1", now), 0u);
        now += 1000;
    }
    // Each failure after a lock has run out starts the next, longer lock.
    const std::uint64_t expected[] = {60'000,  120'000,   240'000,   480'000,
                                      960'000, 1'920'000, 3'600'000, 3'600'000};
    for (const std::uint64_t lock : expected) {
        SCOPED_TRACE(::testing::Message() << "lock of " << lock << " ms");
        EXPECT_EQ(limiter.RecordFailure("10.0.0.1", now), lock);
        EXPECT_EQ(limiter.RemainingLock("10.0.0.1", now), lock);
        EXPECT_EQ(limiter.RemainingLock("10.0.0.1", now + lock - 1), 1u);
        EXPECT_EQ(limiter.RemainingLock("10.0.0.1", now + lock), 0u);
        EXPECT_EQ(limiter.RemainingLock("10.0.0.2", now), 0u) << "other addresses are free";
        now += lock;
    }
}

TEST(AttemptLimiter, ADayWithoutFailuresStartsANewSeries) {
    AttemptLimiter limiter;
    for (int i = 0; i < 4; ++i)
        limiter.RecordFailure("a", 0);
    // Exactly one day later still belongs to the series.
    EXPECT_EQ(limiter.RecordFailure("a", kDay), 60'000u);

    AttemptLimiter fresh;
    for (int i = 0; i < 4; ++i)
        fresh.RecordFailure("a", 0);
    const std::uint64_t later = kDay + 1;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fresh.RecordFailure("a", later), 0u)
            << "failure " << i + 1 << " of the new series";
    EXPECT_EQ(fresh.RecordFailure("a", later), 60'000u);
}

TEST(AttemptLimiter, ResetEndsTheSeries) {
    AttemptLimiter limiter;
    for (int i = 0; i < 5; ++i)
        limiter.RecordFailure("a", 0);
    ASSERT_GT(limiter.RemainingLock("a", 0), 0u);
    limiter.Reset("a");
    EXPECT_EQ(limiter.RemainingLock("a", 0), 0u);
    EXPECT_EQ(limiter.Count(), 0u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(limiter.RecordFailure("a", 1), 0u);
}

TEST(AttemptLimiter, ABigTableDropsEntriesIdleForMoreThanADay) {
    AttemptLimiter limiter;
    const std::uint64_t now = 10 * kDay;
    for (std::size_t i = 0; i < AttemptLimiter::kPruneAbove; ++i)
        limiter.RecordFailure("stale" + std::to_string(i), now - kDay - 1);
    limiter.RecordFailure("day-old", now - kDay);
    limiter.RecordFailure("recent", now - 5);
    ASSERT_EQ(limiter.Count(), AttemptLimiter::kPruneAbove + 2);

    limiter.RecordFailure("new", now);
    EXPECT_EQ(limiter.Count(), 3u);
    // The kept entries still carry their series: four more failures lock "recent".
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(limiter.RecordFailure("recent", now), 0u);
    EXPECT_EQ(limiter.RecordFailure("recent", now), 60'000u);
}

// Attempts under way count as failures: an address gets at most as many
// checks at once as it has failures left before the next lock.
TEST(AttemptLimiter, AdmitsNoMoreChecksAtOnceThanTheScheduleAllows) {
    AttemptLimiter limiter;
    std::uint64_t now = 1'000'000;
    std::vector<AttemptLimiter::Attempt> running;
    for (int i = 0; i < AttemptLimiter::kFreeFailures + 1; ++i) {
        AttemptLimiter::Admission admission = limiter.Begin("a", now);
        ASSERT_TRUE(admission.attempt) << "attempt " << i + 1;
        running.push_back(std::move(*admission.attempt));
    }
    // The sixth waits for the lock the five under way would start.
    const AttemptLimiter::Admission refused = limiter.Begin("a", now);
    EXPECT_FALSE(refused.attempt);
    EXPECT_EQ(refused.waitMs, 60'000u);
    EXPECT_TRUE(limiter.Begin("b", now).attempt) << "other addresses are free";

    const std::uint64_t locks[] = {0, 0, 0, 0, 60'000};
    for (std::size_t i = 0; i < running.size(); ++i)
        EXPECT_EQ(running[i].Failed(now), locks[i]) << "failure " << i + 1;
    const AttemptLimiter::Admission locked = limiter.Begin("a", now + 1000);
    EXPECT_FALSE(locked.attempt);
    EXPECT_EQ(locked.waitMs, 59'000u);

    // After the lock, one check at a time: the next lock would be two minutes.
    now += 60'000;
    AttemptLimiter::Admission one = limiter.Begin("a", now);
    ASSERT_TRUE(one.attempt);
    const AttemptLimiter::Admission second = limiter.Begin("a", now);
    EXPECT_FALSE(second.attempt);
    EXPECT_EQ(second.waitMs, 120'000u);
    EXPECT_EQ(one.attempt->Failed(now), 120'000u);
}

TEST(AttemptLimiter, SettledAndAbandonedAttemptsGiveTheirPlacesBack) {
    AttemptLimiter limiter;
    for (int i = 0; i < 3; ++i)
        limiter.RecordFailure("a", 0);
    // Two places are left; an attempt dropped unchecked leaves the count as it was.
    {
        AttemptLimiter::Admission first = limiter.Begin("a", 0);
        AttemptLimiter::Admission second = limiter.Begin("a", 0);
        ASSERT_TRUE(first.attempt && second.attempt);
        EXPECT_FALSE(limiter.Begin("a", 0).attempt);
    }
    AttemptLimiter::Admission wrong = limiter.Begin("a", 0);
    AttemptLimiter::Admission right = limiter.Begin("a", 0);
    ASSERT_TRUE(wrong.attempt && right.attempt);
    // A success ends the series even with another check still running...
    right.attempt->Succeeded();
    EXPECT_TRUE(limiter.Begin("a", 0).attempt);
    // ...and that check's failure is the first of a new series.
    EXPECT_EQ(wrong.attempt->Failed(0), 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(limiter.RecordFailure("a", 0), 0u);
    EXPECT_EQ(limiter.RecordFailure("a", 0), 60'000u);

    // Attempts that leave nothing behind leave no entry.
    AttemptLimiter other;
    other.Begin("x", 0).attempt->Succeeded();
    (void)other.Begin("y", 0);
    EXPECT_EQ(other.Count(), 0u);
}

} // namespace
} // namespace Velto::Corvane
