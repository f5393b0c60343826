#include "webapp/session_store.h"

#include <gtest/gtest.h>

#include <string>

namespace Velto::Corvane {
namespace {

constexpr std::uint64_t kIdle = 43'200'000;

// Ids "s1", "s2", ... so tests can name the sessions they made.
SessionStore::IdSource CountingIds() {
    return [n = 0]() mutable { return "s" + std::to_string(++n); };
}

TEST(SessionStore, FindKeepsASessionAliveAndIdleTimeEndsIt) {
    SessionStore store(kIdle, CountingIds());
    const std::string id = store.Create(u"Alice", 1000);
    ASSERT_EQ(id, "s1");

    // Exactly the idle lifetime is still alive, and each Find restarts the clock.
    auto found = store.Find(id, 1000 + kIdle);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->user, u"Alice");
    EXPECT_EQ(found->lastSeen, 1000 + kIdle);
    ASSERT_TRUE(store.Find(id, 1000 + 2 * kIdle));

    // A tick that runs backwards neither expires nor rewinds the session.
    found = store.Find(id, 10);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->lastSeen, 1000 + 2 * kIdle);

    EXPECT_FALSE(store.Find(id, 1000 + 3 * kIdle + 1));
    EXPECT_EQ(store.Count(), 0u) << "an expired session is removed when noticed";
    EXPECT_FALSE(store.Find("", 0));
    EXPECT_FALSE(store.Find("unknown", 0));
}

TEST(SessionStore, NoRandomBytesMeansNoSession) {
    SessionStore store(kIdle, [] { return std::string{}; });
    EXPECT_EQ(store.Create(u"Alice", 0), "");
    EXPECT_EQ(store.Count(), 0u);
}

TEST(SessionStore, CreateSweepsIdleSessionsAndEvictsTheOldestAtTheCap) {
    SessionStore store(kIdle, CountingIds());
    store.Create(u"old", 0);
    store.Create(u"fresh", kIdle);
    store.Create(u"new", kIdle + 1); // "old" has now been idle too long
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_FALSE(store.Find("s1", kIdle + 1));

    SessionStore full(kIdle, CountingIds());
    for (std::uint64_t t = 1; t <= SessionStore::kMaxSessions; ++t)
        full.Create(u"", t);
    ASSERT_EQ(full.Count(), SessionStore::kMaxSessions);
    ASSERT_TRUE(full.Find("s1", 20'000)); // s1 is used again, so s2 is now the oldest
    const std::string id = full.Create(u"", 20'001);
    EXPECT_EQ(full.Count(), SessionStore::kMaxSessions);
    EXPECT_TRUE(full.Find("s1", 20'002));
    EXPECT_FALSE(full.Find("s2", 20'002));
    EXPECT_TRUE(full.Find("s3", 20'002));
    EXPECT_TRUE(full.Find(id, 20'002));
}

TEST(SessionStore, UnlocksAreAddedAndForgottenPerShare) {
    SessionStore store(kIdle, CountingIds());
    const std::string a = store.Create(u"", 0);
    const std::string b = store.Create(u"Bob", 0);
    EXPECT_TRUE(store.AddUnlock(a, "share1"));
    EXPECT_TRUE(store.AddUnlock(a, "share2"));
    EXPECT_TRUE(store.AddUnlock(b, "share1"));
    EXPECT_FALSE(store.AddUnlock("gone", "share1"));

    store.ForgetUnlock("share1");
    EXPECT_EQ(store.Find(a, 1)->unlockedShares, (std::set<std::string>{"share2"}));
    EXPECT_TRUE(store.Find(b, 1)->unlockedShares.empty());

    // The copy a request holds does not change when the store does.
    const auto copy = store.Find(a, 2);
    store.Remove(a);
    EXPECT_FALSE(store.Find(a, 3));
    EXPECT_EQ(copy->unlockedShares.size(), 1u);
}

TEST(SessionStore, RemoveUserIgnoresCaseAndSparesUnlockOnlySessions) {
    SessionStore store(kIdle, CountingIds());
    store.Create(u"Ärger", 0);
    store.Create(u"äRGER", 0);
    store.Create(u"Ärgerlich", 0);
    store.Create(u"", 0);
    EXPECT_EQ(store.RemoveUser(u"ÄrGeR"), 2u);
    EXPECT_EQ(store.RemoveUser(u""), 0u);
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_TRUE(store.Find("s3", 1));
    EXPECT_TRUE(store.Find("s4", 1));
}

} // namespace
} // namespace Velto::Corvane
