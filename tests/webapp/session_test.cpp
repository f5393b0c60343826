// Sessions, sign-in, share unlock, lock-out, the share gate and revocation,
// through the real server with a clock the tests move.
#include "tests/webapp/web_app_fixture.h"

#include "base/utf.h"
#include "config/password_hash.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::uint64_t kSecond = 1000;
constexpr std::uint64_t kHour = 3600 * kSecond;
// Wrong passwords sent at once in the burst test, and the cost of their
// hashes: enough that each check takes a good fraction of a second.
constexpr int kBurst = 15;
constexpr std::uint32_t kBurstIterations = 200'000;
// Bound on waiting for the burst's first answer (in 1 ms steps).
constexpr int kAnswerWaitSteps = 30'000;

std::string LoginBody(std::string_view name, std::string_view password) {
    JsonValue body = JsonValue::MakeObject();
    body.Set("name", JsonValue(std::string(name)));
    body.Set("password", JsonValue(std::string(password)));
    return SerializeJson(body, false);
}

std::string UnlockBody(std::string_view share, std::string_view password) {
    JsonValue body = JsonValue::MakeObject();
    body.Set("share", JsonValue(std::string(share)));
    body.Set("password", JsonValue(std::string(password)));
    return SerializeJson(body, false);
}

class Sessions : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        std::filesystem::create_directories(Files() / "docs");
        std::filesystem::create_directories(Files() / "private");
        m_config.shares.push_back(MakeShare("0000000000000001", u"docs", Files() / "docs"));
        m_config.shares.push_back(MakeShare("0000000000000002", u"private", Files() / "private",
                                            AccessFlags::Read, TestHash("sesame")));
        m_config.accounts.push_back(
            MakeAccount(u"alice", "wonderland", {{"0000000000000001", AccessFlags::Write}}));
        Apply(m_config);
    }

    std::string WhoIs(std::string_view cookie) {
        const ClientResponse reply = Get("/api/session", cookie);
        EXPECT_EQ(reply.status, 200);
        return reply.body;
    }

    Config m_config;
};

TEST_F(Sessions, SignInStartsAFreshSessionAndSignOutEndsIt) {
    EXPECT_EQ(WhoIs({}), R"({"user":null,"accounts":true,"secure":false})");

    // The name matches in any letter case; the reply and the record use the stored one.
    const ClientResponse login = Post("/api/login", LoginBody("ALICE", "wonderland"));
    ASSERT_EQ(login.status, 200);
    EXPECT_EQ(login.body, R"({"user":"alice"})");
    const std::string first = SessionCookieOf(login);
    ASSERT_EQ(first.size(), 64u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(login.Header("set-cookie"), "vcs=" + first + "; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(WhoIs(first), R"({"user":"alice","accounts":true,"secure":false})");

    // Signing in again with the old cookie replaces the session.
    const std::string second = SignIn("alice", "wonderland", first);
    EXPECT_NE(second, first);
    EXPECT_EQ(WhoIs(first), R"({"user":null,"accounts":true,"secure":false})");
    EXPECT_EQ(WhoIs(second), R"({"user":"alice","accounts":true,"secure":false})");

    const ClientResponse logout = Post("/api/logout", "", second);
    EXPECT_EQ(logout.status, 200);
    EXPECT_EQ(logout.body, "{}");
    EXPECT_EQ(logout.Header("set-cookie"), "vcs=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
    EXPECT_EQ(WhoIs(second), R"({"user":null,"accounts":true,"secure":false})");

    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 2u);
    for (const AccessLogEntry& entry : log) {
        EXPECT_EQ(entry.action, "login");
        EXPECT_EQ(entry.user, u"alice");
        EXPECT_EQ(entry.detail, u"alice");
        EXPECT_EQ(entry.address, "127.0.0.1");
        EXPECT_EQ(entry.result, 200);
        EXPECT_EQ(entry.size, 0u);
    }
}

TEST_F(Sessions, FailedSignInsAreRecordedWithTheNameAsTyped) {
    const struct {
        std::string body;
        std::u16string detail;
    } cases[] = {
        {LoginBody("alice", "wrong"), u"alice"},
        {LoginBody("Nobody", "wonderland"), u"Nobody"},
        {R"({"name":5,"password":true})", u""},
        {"{}", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const ClientResponse reply = Post("/api/login", c.body);
        EXPECT_EQ(reply.status, 401);
        EXPECT_EQ(reply.body, R"({"error":"badLogin"})");
        EXPECT_FALSE(reply.HasHeader("set-cookie"));
    }
    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 4u);
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].action, "loginFailed");
        EXPECT_EQ(log[i].detail, cases[i].detail);
        EXPECT_EQ(log[i].user, u"");
        EXPECT_EQ(log[i].result, 401);
    }
}

TEST_F(Sessions, IdleSessionsEndAfterTwelveHours) {
    const std::string id = SignIn("alice", "wonderland");
    Advance(12 * kHour);
    EXPECT_EQ(WhoIs(id), R"({"user":"alice","accounts":true,"secure":false})");
    Advance(12 * kHour); // counted from the last request
    EXPECT_EQ(WhoIs(id), R"({"user":"alice","accounts":true,"secure":false})");
    Advance(12 * kHour + 1);
    EXPECT_EQ(WhoIs(id), R"({"user":null,"accounts":true,"secure":false})");
}

TEST_F(Sessions, UnlockWithoutASessionCreatesOneWithoutAUser) {
    const std::string list = "/api/list?share=private";
    EXPECT_EQ(Get(list).body, R"({"error":"locked"})");

    ClientResponse reply = Post("/api/unlock", UnlockBody("PRIVATE", "wrong"));
    EXPECT_EQ(reply.status, 401);
    EXPECT_EQ(reply.body, R"({"error":"badPassword"})");
    reply = Post("/api/unlock", UnlockBody("private", "sesame"));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "{}");
    const std::string id = SessionCookieOf(reply);
    ASSERT_EQ(id.size(), 64u);
    EXPECT_EQ(WhoIs(id), R"({"user":null,"accounts":true,"secure":false})");
    EXPECT_EQ(Get(list, id).status, 200);

    // A second unlock in the same session sets no new cookie.
    reply = Post("/api/unlock", UnlockBody("private", "sesame"), id);
    EXPECT_EQ(reply.status, 200);
    EXPECT_FALSE(reply.HasHeader("set-cookie"));

    // Signing in replaces the session, and the unlock goes with it.
    const std::string signedIn = SignIn("alice", "wonderland", id);
    EXPECT_EQ(Get(list, signedIn).body, R"({"error":"locked"})");
    EXPECT_EQ(Get(list, id).body, R"({"error":"locked"})");

    // Shares without a password, or whose password would grant nothing, take none.
    m_config.shares.push_back(MakeShare("0000000000000003", u"staff", Files() / "private",
                                        AccessFlags::None, TestHash("sesame")));
    Apply(m_config);
    for (const std::string_view share : {"docs", "staff", "missing"}) {
        SCOPED_TRACE(share);
        reply = Post("/api/unlock", UnlockBody(share, "sesame"));
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.body, R"({"error":"notFound"})");
    }

    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].action, "unlockFailed");
    EXPECT_EQ(log[0].detail, u"/private");
    EXPECT_EQ(log[0].result, 401);
    EXPECT_EQ(log[1].action, "login");
}

TEST_F(Sessions, LockOutScheduleFollowsTheClock) {
    const auto wrong = [&] { return Post("/api/login", LoginBody("alice", "wrong")); };
    const auto expectLocked = [](const ClientResponse& reply, std::uint64_t seconds) {
        EXPECT_EQ(reply.status, 429);
        EXPECT_EQ(reply.body,
                  R"({"error":"tooMany","retryAfter":)" + std::to_string(seconds) + "}");
        EXPECT_EQ(reply.Header("retry-after"), std::to_string(seconds));
    };

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(wrong().body, R"({"error":"badLogin"})");
    expectLocked(wrong(), 60);

    // While locked, even the right passwords are refused unseen and unrecorded.
    const std::size_t records = LogEntries().size();
    expectLocked(Post("/api/login", LoginBody("alice", "wonderland")), 60);
    expectLocked(Post("/api/unlock", UnlockBody("private", "sesame")), 60);
    Advance(30 * kSecond);
    expectLocked(Post("/api/login", LoginBody("alice", "wonderland")), 30);
    Advance(29 * kSecond + 500);
    expectLocked(Post("/api/login", LoginBody("alice", "wonderland")), 1);
    EXPECT_EQ(LogEntries().size(), records);
    Advance(500);

    // Each failure after a lock has run out doubles the lock, up to an hour.
    for (const std::uint64_t seconds : {120, 240, 480, 960, 1920, 3600, 3600}) {
        SCOPED_TRACE(::testing::Message() << "lock of " << seconds << " s");
        expectLocked(wrong(), seconds);
        Advance(seconds * kSecond);
    }
    // A success ends the series: the next failure is the first of a new one.
    SignIn("alice", "wonderland");
    EXPECT_EQ(wrong().status, 401);
}

TEST_F(Sessions, SignInAndUnlockFailuresShareOneSeries) {
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 401);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Post("/api/unlock", UnlockBody("private", "wrong")).status, 401);
    const ClientResponse fifth = Post("/api/unlock", UnlockBody("private", "wrong"));
    EXPECT_EQ(fifth.status, 429);
    EXPECT_EQ(fifth.body, R"({"error":"tooMany","retryAfter":60})");

    // A correct unlock after the lock clears the series for sign-ins too.
    Advance(60 * kSecond);
    EXPECT_EQ(Post("/api/unlock", UnlockBody("private", "sesame")).status, 200);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 401);
    EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 429);
}

// Fifteen wrong passwords and then the right one, each on its own connection,
// all under way at once. The passwords are hashed at real cost, so the burst
// is still being checked when the right one arrives; it must meet the same
// lock as if the guesses had come one by one.
TEST_F(Sessions, AParallelBurstGetsNoMoreGuessesCheckedThanASequence) {
    m_config.accounts[0].password = HashPassword("wonderland", kBurstIterations);
    m_config.shares[1].password = HashPassword("sesame", kBurstIterations);
    Apply(m_config);
    const std::string tooMany = R"({"error":"tooMany","retryAfter":60})";
    const struct {
        std::string_view route;
        std::string wrong;
        std::string right;
        std::string_view failure;
        std::string_view failureRecord;
    } cases[] = {
        {"/api/login", LoginBody("alice", "guess"), LoginBody("alice", "wonderland"),
         R"({"error":"badLogin"})", "loginFailed"},
        {"/api/unlock", UnlockBody("private", "guess"), UnlockBody("private", "sesame"),
         R"({"error":"badPassword"})", "unlockFailed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        const std::size_t recordsBefore = LogEntries().size();
        std::vector<ClientResponse> wrong(kBurst);
        std::atomic<int> answered{0};
        std::vector<std::thread> senders;
        for (ClientResponse& reply : wrong) {
            senders.emplace_back([&] {
                reply = Post(c.route, c.wrong);
                ++answered;
            });
        }
        // The first answer comes back while the rest of the burst is still
        // being checked; the right password joins it then.
        for (int i = 0; i < kAnswerWaitSteps && answered.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const ClientResponse right = Post(c.route, c.right);
        for (std::thread& sender : senders)
            sender.join();

        EXPECT_EQ(right.status, 429);
        EXPECT_EQ(right.body, tooMany);
        EXPECT_FALSE(right.HasHeader("set-cookie"));
        // Four guesses are refused as wrong; the fifth wrong one starts the
        // lock, and every other one is turned away unchecked.
        for (const ClientResponse& reply : wrong)
            EXPECT_TRUE(reply.body == c.failure || reply.body == tooMany) << reply.body;
        EXPECT_EQ(std::count_if(wrong.begin(), wrong.end(),
                                [&](const ClientResponse& r) { return r.body == c.failure; }),
                  AttemptLimiter::kFreeFailures);
        // Only checked passwords leave a record: exactly the five the lock allows.
        const auto log = LogEntries();
        ASSERT_GE(log.size(), recordsBefore);
        EXPECT_EQ(
            std::count_if(log.begin() + static_cast<std::ptrdiff_t>(recordsBefore), log.end(),
                          [&](const AccessLogEntry& e) { return e.action == c.failureRecord; }),
            AttemptLimiter::kFreeFailures + 1);
        EXPECT_EQ(log.size() - recordsBefore, std::size_t{AttemptLimiter::kFreeFailures + 1});

        // Once the lock has run out, the right password is taken again.
        Advance(60 * kSecond);
        EXPECT_EQ(Post(c.route, c.right).status, 200);
    }
}

TEST_F(Sessions, ADayWithoutFailuresStartsANewSeries) {
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 401);
    Advance(24 * kHour + 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 401);
    EXPECT_EQ(Post("/api/login", LoginBody("alice", "wrong")).status, 429);
}

TEST_F(Sessions, ConfigurationChangesRevokeWhatTheyInvalidate) {
    const std::string alice = SignIn("alice", "wonderland");
    const std::string visitor =
        SessionCookieOf(Post("/api/unlock", UnlockBody("private", "sesame")));
    ASSERT_FALSE(visitor.empty());
    const std::string list = "/api/list?share=private";
    ASSERT_EQ(Get(list, visitor).status, 200);

    // Rights and unrelated fields may change without signing anyone out.
    m_config.accounts[0].access["0000000000000001"] = AccessFlags::Read;
    m_config.shares[1].guest = AccessFlags::Read | AccessFlags::Write;
    m_config.showHidden = true;
    Apply(m_config);
    EXPECT_EQ(WhoIs(alice), R"({"user":"alice","accounts":true,"secure":false})");
    EXPECT_EQ(Get(list, visitor).status, 200);

    // A new share password must be entered again.
    m_config.shares[1].password = TestHash("sesame");
    Apply(m_config);
    EXPECT_EQ(Get(list, visitor).body, R"({"error":"locked"})");
    EXPECT_EQ(WhoIs(visitor), R"({"user":null,"accounts":true,"secure":false})");

    // A new account password signs the account out everywhere.
    m_config.accounts[0].password = TestHash("looking-glass");
    Apply(m_config);
    EXPECT_EQ(WhoIs(alice), R"({"user":null,"accounts":true,"secure":false})");

    // So does deleting the account, and deleting a share drops its unlocks.
    const std::string again = SignIn("alice", "looking-glass");
    EXPECT_EQ(Post("/api/unlock", UnlockBody("private", "sesame"), visitor).status, 200);
    Config removed = m_config;
    removed.accounts.clear();
    removed.shares.pop_back();
    Apply(removed);
    EXPECT_EQ(WhoIs(again), R"({"user":null,"accounts":false,"secure":false})");
    Apply(m_config); // the share returns under the same id: its unlock does not
    EXPECT_EQ(Get(list, visitor).body, R"({"error":"locked"})");
}

TEST_F(Sessions, APasswordChangedWhileItWasCheckedGrantsNothing) {
    // The change lands after the old password was verified and before the
    // session exists, so the revocation that comes with it finds nothing.
    Config changed = m_config;
    changed.accounts[0].password = TestHash("looking-glass");
    SetSessionCreationHook([&] { Apply(changed); });
    ClientResponse reply = Post("/api/login", LoginBody("alice", "wonderland"));
    SetSessionCreationHook({});
    EXPECT_EQ(reply.status, 401);
    EXPECT_EQ(reply.body, R"({"error":"badLogin"})");
    EXPECT_FALSE(reply.HasHeader("set-cookie"));
    EXPECT_EQ(App().Sessions().Count(), 0u);

    Config relocked = changed;
    relocked.shares[1].password = TestHash("open sesame");
    SetSessionCreationHook([&] { Apply(relocked); });
    reply = Post("/api/unlock", UnlockBody("private", "sesame"));
    SetSessionCreationHook({});
    EXPECT_EQ(reply.status, 401);
    EXPECT_EQ(reply.body, R"({"error":"badPassword"})");
    EXPECT_EQ(Get("/api/list?share=private", SessionCookieOf(reply)).body, R"({"error":"locked"})");

    // Without a change in between, the same requests succeed.
    SignIn("alice", "looking-glass");
    EXPECT_EQ(Post("/api/unlock", UnlockBody("private", "open sesame")).status, 200);
}

TEST_F(Sessions, ASessionWhoseAccountVanishedIsEndedOnUse) {
    // A session that outlived its account (created behind the configuration's back).
    const std::string ghost = App().Sessions().Create(u"ghost", 5'000'000);
    const std::size_t before = App().Sessions().Count();
    EXPECT_EQ(WhoIs(ghost), R"({"user":null,"accounts":true,"secure":false})");
    EXPECT_EQ(App().Sessions().Count(), before - 1);
    // The reply does not clear the visitor's cookie.
    EXPECT_FALSE(Get("/api/session", ghost).HasHeader("set-cookie"));
}

// Who asks: nobody, a signed-in account, or a visitor who entered a share password.
enum class Who { Guest, Alice, Bob, Unlocked };

struct GateCase {
    bool accounts;
    Who who;
    std::string_view share;
    std::string_view need;
    std::string_view path;
    int status;
    std::string_view body;
};

class Gate : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        for (const char* dir : {"open", "private", "pw", "ro", "folder-file"})
            std::filesystem::create_directories(Files() / dir);
        WriteFile("single.txt", "one file");
        const auto rwd = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        m_config.shares = {
            MakeShare("00000000000000a1", u"open", Files() / "open"),
            MakeShare("00000000000000a2", u"writable", Files() / "open", rwd),
            MakeShare("00000000000000a3", u"private", Files() / "private", AccessFlags::None),
            MakeShare("00000000000000a4", u"pw", Files() / "pw", AccessFlags::Read,
                      TestHash("sesame")),
            MakeShare("00000000000000a5", u"pwStaff", Files() / "pw", AccessFlags::None,
                      TestHash("sesame")),
            MakeShare("00000000000000a6", u"ro", Files() / "ro", rwd),
            MakeShare("00000000000000a7", u"single", Files() / "single.txt"),
            MakeShare("00000000000000a8", u"gone", Files() / "missing"),
            MakeShare("00000000000000a9", u"folderFile", Files() / "folder-file"),
        };
        m_config.shares[5].readOnly = true;
        m_config.shares[6].file = true;
        m_config.shares[6].readOnly = true;
        m_config.shares[8].file = true;
        m_accounts = {
            MakeAccount(u"alice", "a",
                        {{"00000000000000a3", AccessFlags::Read | AccessFlags::Write},
                         {"00000000000000a6", rwd}}),
            MakeAccount(u"bob", "b"),
        };
    }

    void Use(bool accounts) {
        Config config = m_config;
        if (accounts)
            config.accounts = m_accounts;
        Apply(config);
        m_cookies.clear();
        if (accounts) {
            m_cookies[Who::Alice] = SignIn("alice", "a");
            m_cookies[Who::Bob] = SignIn("bob", "b");
        }
        m_cookies[Who::Unlocked] = SessionCookieOf(Post("/api/unlock", UnlockBody("pw", "sesame")));
    }

    void Check(const GateCase& c) {
        const std::string target = "/test/gate?share=" + std::string(c.share) +
                                   "&need=" + std::string(c.need) + "&path=" + std::string(c.path);
        SCOPED_TRACE(target + (c.accounts ? " with accounts" : " without accounts") + " as " +
                     std::to_string(static_cast<int>(c.who)));
        const ClientResponse reply = Get(target, m_cookies[c.who]);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.body);
    }

    Config m_config;
    std::vector<Account> m_accounts;
    std::map<Who, std::string> m_cookies;
};

TEST_F(Gate, EachVisitorGetsTheRightsOrTheErrorThatFits) {
    const std::string_view r1 = R"({"rights":1,"display":"/open"})";
    const GateCase cases[] = {
        // No accounts configured: a missing right is "forbidden", no right at all "notFound".
        {false, Who::Guest, "open", "r", "", 200, r1},
        {false, Who::Guest, "OPEN", "r", "a/b", 200, R"({"rights":1,"display":"/open/a/b"})"},
        {false, Who::Guest, "open", "w", "", 403, R"({"error":"forbidden"})"},
        {false, Who::Guest, "writable", "rwd", "", 200, R"({"rights":7,"display":"/writable"})"},
        {false, Who::Guest, "private", "r", "", 404, R"({"error":"notFound"})"},
        {false, Who::Guest, "pw", "r", "", 401, R"({"error":"locked"})"},
        {false, Who::Unlocked, "pw", "r", "", 200, R"({"rights":1,"display":"/pw"})"},
        {false, Who::Unlocked, "pw", "w", "", 403, R"({"error":"forbidden"})"},
        {false, Who::Guest, "pwStaff", "r", "", 404, R"({"error":"notFound"})"},
        {false, Who::Guest, "ro", "r", "", 200, R"({"rights":1,"display":"/ro"})"},
        {false, Who::Guest, "ro", "w", "", 403, R"({"error":"forbidden"})"},
        {false, Who::Guest, "single", "r", "single.txt", 200,
         R"({"rights":1,"display":"/single/single.txt"})"},
        {false, Who::Guest, "single", "d", "single.txt", 403, R"({"error":"forbidden"})"},
        {false, Who::Guest, "nosuch", "r", "", 404, R"({"error":"notFound"})"},
        {false, Who::Guest, "open", "r", "../etc", 400, R"({"error":"badPath"})"},
        {false, Who::Guest, "open", "r", "a//b", 400, R"({"error":"badPath"})"},
        {false, Who::Guest, "open", "r", "a/./b", 400, R"({"error":"badPath"})"},
        {false, Who::Guest, "open", "r", "a%09b", 400, R"({"error":"badPath"})"},
        {false, Who::Guest, "gone", "r", "", 404, R"({"error":"shareMissing"})"},
        {false, Who::Guest, "folderFile", "r", "", 404, R"({"error":"shareMissing"})"},
        // Accounts configured: a visitor who could sign in is asked to.
        {true, Who::Guest, "open", "r", "", 200, r1},
        {true, Who::Guest, "open", "w", "", 401, R"({"error":"signIn"})"},
        {true, Who::Guest, "private", "r", "", 401, R"({"error":"signIn"})"},
        {true, Who::Alice, "private", "r", "", 200, R"({"rights":3,"display":"/private"})"},
        {true, Who::Alice, "private", "rw", "", 200, R"({"rights":3,"display":"/private"})"},
        {true, Who::Alice, "private", "d", "", 403, R"({"error":"forbidden"})"},
        {true, Who::Bob, "private", "r", "", 404, R"({"error":"notFound"})"},
        {true, Who::Bob, "open", "w", "", 403, R"({"error":"forbidden"})"},
        {true, Who::Guest, "pw", "r", "", 401, R"({"error":"locked"})"},
        {true, Who::Alice, "pw", "r", "", 401, R"({"error":"locked"})"},
        {true, Who::Unlocked, "pw", "r", "", 200, R"({"rights":1,"display":"/pw"})"},
        {true, Who::Unlocked, "pw", "w", "", 401, R"({"error":"signIn"})"},
        {true, Who::Guest, "pwStaff", "r", "", 401, R"({"error":"signIn"})"},
        {true, Who::Bob, "pwStaff", "r", "", 404, R"({"error":"notFound"})"},
        {true, Who::Alice, "ro", "r", "", 200, R"({"rights":1,"display":"/ro"})"},
        {true, Who::Alice, "ro", "w", "", 403, R"({"error":"forbidden"})"},
        {true, Who::Guest, "gone", "r", "", 404, R"({"error":"shareMissing"})"},
    };
    for (const bool accounts : {false, true}) {
        Use(accounts);
        for (const GateCase& c : cases) {
            if (c.accounts == accounts)
                Check(c);
        }
    }
}

} // namespace
} // namespace Velto::Corvane::Testing
