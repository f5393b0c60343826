// The usage reporter posting to a collection service the test runs on a
// loopback port: the request and its JSON, batching and queue order, the
// client id kept between runs, the queue's bound, and that a hanging,
// endless or missing service never holds the program.

#include "app/usage/os_release.h"
#include "app/usage/usage_reporter.h"
#include "json/json.h"
#include "tests/app/usage/collect_server.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace App {
namespace {

using Testing::CollectServer;
using Velto::Corvane::Testing::TempHome;
namespace fs = std::filesystem;

// Generous: requests leave a busy machine late, never early.
constexpr int kWaitLimitMs = 30000;
constexpr std::chrono::milliseconds kStopLimit{30000};
// Long enough that only a full batch or a stop makes the sender post.
constexpr std::chrono::milliseconds kNoTimer{3600 * 1000};

std::string ReadFile(const std::string& path) {
    std::ifstream in{path, std::ios::binary};
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool IsLowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

class UsageReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.IsListening());
        for (const char* name : {"VELTO_SDK_NO_USAGE_STATS", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            m_home.Unset(name);
        m_home.Set("LANG", "ko_KR.UTF-8");
        m_home.Set("no_proxy", "*"); // the local service is never reached through a proxy
        m_options = UsageOptions{
            .productName = u"VeltoCorvane",
            .version = u"0.1.0.0",
            .clientIdFolder = m_home.root + "/config/VeltoCorvane",
            .measurementId = u"G-TEST1",
            .apiSecret = u"s3cret_X",
        };
    }

    std::string IdFile() const { return m_options.clientIdFolder + "/UsageId"; }

    // The events of a request body: name and feature (empty when absent).
    static std::vector<std::pair<std::string, std::string>>
    Events(const CollectServer::Request& request) {
        const auto [json, ok] = Velto::Corvane::ParseJson(request.body, 64);
        EXPECT_TRUE(ok) << request.body;
        std::vector<std::pair<std::string, std::string>> events;
        for (const auto& event : json.Get("events").AsArray())
            events.emplace_back(event.Get("name").AsString(),
                                event.Get("params").Get("feature").AsString());
        return events;
    }

    static std::string ClientIdOf(const CollectServer::Request& request) {
        const auto [json, ok] = Velto::Corvane::ParseJson(request.body, 64);
        return ok ? json.Get("client_id").AsString() : std::string{};
    }

    // One whole run: start, stop, and the client id its report carried.
    std::string RunOnce() {
        const std::size_t before = m_server.Requests().size();
        UsageReporter reporter{m_server.Endpoint(), kNoTimer};
        EXPECT_TRUE(reporter.Start(m_options));
        EXPECT_TRUE(reporter.Stop(kStopLimit));
        const auto requests = m_server.Requests();
        if (requests.size() != before + 1) {
            ADD_FAILURE() << "expected one more request, got " << requests.size() - before;
            return {};
        }
        return ClientIdOf(requests.back());
    }

    TempHome m_home;
    CollectServer m_server;
    UsageOptions m_options;
};

TEST_F(UsageReportTest, OneRunPostsItsEventsAsTheCollectionJson) {
    const auto before = std::time(nullptr);
    UsageReporter reporter{m_server.Endpoint(), kNoTimer};
    ASSERT_TRUE(reporter.Start(m_options));
    EXPECT_TRUE(reporter.IsRunning());
    EXPECT_FALSE(reporter.Start(m_options)) << "a second start changes nothing";
    const std::string longest(40, 'z');
    for (const std::string name : {"share_folder", "Share", "", "a-b", "sp ace", "x\"y"})
        reporter.ReportFeature(name);
    reporter.ReportFeature(longest);
    reporter.ReportFeature(longest + "z");
    ASSERT_TRUE(reporter.Stop(kStopLimit));
    const auto after = std::time(nullptr);
    EXPECT_FALSE(reporter.IsRunning());
    reporter.ReportFeature("server_start"); // after the stop: dropped

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const CollectServer::Request& request = requests.front();
    EXPECT_TRUE(request.head.starts_with(
        "POST /mp/collect?measurement_id=G-TEST1&api_secret=s3cret_X HTTP/1.1\r\n"))
        << request.head;
    EXPECT_NE(request.head.find("\r\nContent-Type: application/json\r\n"), std::string::npos);
    EXPECT_NE(request.head.find("\r\nUser-Agent: VeltoSDK\r\n"), std::string::npos);

    const std::string id = ReadFile(IdFile());
    ASSERT_EQ(id.size(), 32u);
    EXPECT_TRUE(IsLowerHex(id)) << id;
    const std::string key = "\"session_id\":\"";
    const std::size_t at = request.body.find(key);
    ASSERT_NE(at, std::string::npos);
    const std::string session = request.body.substr(
        at + key.size(), request.body.find('"', at + key.size()) - at - key.size());
    EXPECT_GE(std::stoll(session), static_cast<long long>(before));
    EXPECT_LE(std::stoll(session), static_cast<long long>(after));

    const std::string os = SystemOsVersion();
    const std::string params = "\"program\":\"VeltoCorvane\",\"version\":\"0.1.0.0\"";
    const std::string tail = ",\"session_id\":\"" + session + "\",\"engagement_time_msec\":100}}";
    EXPECT_EQ(request.body,
              "{\"client_id\":\"" + id +
                  "\",\"device\":{\"category\":\"desktop\",\"operating_system\":\"Linux\"" +
                  (os.empty() ? "" : ",\"operating_system_version\":\"" + os + "\"") +
                  ",\"language\":\"ko-kr\"},\"events\":["
                  "{\"name\":\"app_start\",\"params\":{" +
                  params + tail + ",{\"name\":\"feature_use\",\"params\":{" + params +
                  ",\"feature\":\"share_folder\"" + tail +
                  ",{\"name\":\"feature_use\",\"params\":{" + params + ",\"feature\":\"" + longest +
                  "\"" + tail + "]}");
    EXPECT_TRUE(Velto::Corvane::ParseJson(request.body, 64).second);
}

TEST_F(UsageReportTest, ClientIdIsKeptBetweenRuns) {
    const std::string first = RunOnce();
    ASSERT_EQ(first.size(), 32u);
    EXPECT_TRUE(IsLowerHex(first));
    EXPECT_EQ(ReadFile(IdFile()), first);
    struct stat st {};
    ASSERT_EQ(::stat(IdFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(RunOnce(), first);

    // Anything but 32 characters is replaced by a new id.
    std::ofstream{IdFile(), std::ios::trunc} << std::string(31, 'a');
    const std::string replaced = RunOnce();
    EXPECT_EQ(replaced.size(), 32u);
    EXPECT_NE(replaced, first);
    EXPECT_EQ(ReadFile(IdFile()), replaced);
    // Exactly 32 characters are kept as they are, counted as characters.
    const std::string kept = "가나다라마바사아자차카타파하" + std::string(18, '0');
    std::ofstream{IdFile(), std::ios::trunc} << kept;
    EXPECT_EQ(RunOnce(), kept);

    // Where nothing can be written the run still reports, with a new id each time.
    std::ofstream{m_home.root + "/a-file"} << "x";
    m_options.clientIdFolder = m_home.root + "/a-file/VeltoCorvane";
    const std::string unsaved = RunOnce();
    EXPECT_EQ(unsaved.size(), 32u);
    EXPECT_NE(RunOnce(), unsaved);
}

TEST_F(UsageReportTest, FullBatchesLeaveAtOnceInQueueOrder) {
    UsageReporter reporter{m_server.Endpoint(), kNoTimer};
    ASSERT_TRUE(reporter.Start(m_options));
    // app_start and 24 features make 25: the sender posts without its timer.
    for (int i = 0; i < 24; ++i)
        reporter.ReportFeature("first_" + std::to_string(i));
    ASSERT_TRUE(m_server.WaitForRequests(1, kWaitLimitMs));
    for (int i = 0; i < 30; ++i)
        reporter.ReportFeature("second_" + std::to_string(i));
    ASSERT_TRUE(reporter.Stop(kStopLimit));

    const auto requests = m_server.Requests();
    ASSERT_GE(requests.size(), 3u);
    std::vector<std::pair<std::string, std::string>> expected{{"app_start", ""}};
    for (int i = 0; i < 24; ++i)
        expected.emplace_back("feature_use", "first_" + std::to_string(i));
    EXPECT_EQ(Events(requests[0]), expected);
    // The sender takes whatever is queued when it wakes (the 25th event or
    // more, on a busy machine) and the rest on stopping: the later events
    // arrive whole, in order, at most 25 to a request.
    expected.clear();
    for (int i = 0; i < 30; ++i)
        expected.emplace_back("feature_use", "second_" + std::to_string(i));
    std::vector<std::pair<std::string, std::string>> later;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        const auto events = Events(requests[i]);
        EXPECT_GE(events.size(), 1u);
        EXPECT_LE(events.size(), 25u);
        later.insert(later.end(), events.begin(), events.end());
    }
    EXPECT_EQ(later, expected);
}

TEST_F(UsageReportTest, TheQueueHoldsAtMost200Events) {
    m_server.SetAnswer(CollectServer::Answer::Held);
    UsageReporter reporter{m_server.Endpoint(), kNoTimer};
    ASSERT_TRUE(reporter.Start(m_options));
    for (int i = 0; i < 24; ++i)
        reporter.ReportFeature("first_" + std::to_string(i));
    // The sender is busy with the first batch while 300 more are reported.
    ASSERT_TRUE(m_server.WaitForRequests(1, kWaitLimitMs));
    for (int i = 0; i < 300; ++i)
        reporter.ReportFeature("more_" + std::to_string(i));
    m_server.SetAnswer(CollectServer::Answer::NoContent);
    ASSERT_TRUE(reporter.Stop(kStopLimit));

    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u + kMaxQueuedUsageEvents / kUsageBatchSize);
    std::vector<std::string> kept;
    for (std::size_t r = 1; r < requests.size(); ++r) {
        const auto events = Events(requests[r]);
        EXPECT_EQ(events.size(), kUsageBatchSize);
        for (const auto& event : events)
            kept.push_back(event.second);
    }
    ASSERT_EQ(kept.size(), kMaxQueuedUsageEvents);
    EXPECT_EQ(kept.front(), "more_0");
    EXPECT_EQ(kept.back(), "more_199");
}

TEST_F(UsageReportTest, StopDoesNotWaitForAHangingService) {
    m_server.SetAnswer(CollectServer::Answer::Held);
    {
        UsageReporter reporter{m_server.Endpoint(), kNoTimer};
        ASSERT_TRUE(reporter.Start(m_options));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(reporter.Stop(std::chrono::milliseconds(300)));
        // Far below the five seconds after which the request itself gives up.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        // The abandoned post is cancelled rather than left to its time-outs.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!reporter.HasFinished() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(reporter.HasFinished());
    }

    // A reporter may also go away while its post hangs.
    const auto start = std::chrono::steady_clock::now();
    {
        UsageReporter reporter{m_server.Endpoint(), std::chrono::milliseconds(1)};
        ASSERT_TRUE(reporter.Start(m_options));
        ASSERT_TRUE(m_server.WaitForRequests(2, kWaitLimitMs));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(UsageReportTest, MissingOrEndlessServicesEndTheSenderAnyway) {
    // An answer that never ends is cut off after its first 64 KiB, long
    // before the request's own time limit.
    m_server.SetAnswer(CollectServer::Answer::Endless);
    UsageReporter endless{m_server.Endpoint(), kNoTimer};
    ASSERT_TRUE(endless.Start(m_options));
    EXPECT_TRUE(endless.Stop(std::chrono::milliseconds(15000)));

    for (const std::string endpoint : {"http://127.0.0.1:1", "http://velto-collect.invalid"}) {
        SCOPED_TRACE(endpoint);
        UsageReporter missing{endpoint, kNoTimer};
        ASSERT_TRUE(missing.Start(m_options));
        missing.ReportFeature("server_start");
        EXPECT_TRUE(missing.Stop(kStopLimit));
    }
}

TEST_F(UsageReportTest, TheSwitchTurnsReportingOff) {
    m_home.Set("VELTO_SDK_NO_USAGE_STATS", ""); // set, even empty
    UsageReporter reporter{m_server.Endpoint(), kNoTimer};
    EXPECT_FALSE(reporter.Start(m_options));
    EXPECT_FALSE(reporter.IsRunning());
    reporter.ReportFeature("server_start");
    EXPECT_FALSE(reporter.Stop(kStopLimit)) << "there was no sender to finish";
    EXPECT_FALSE(fs::exists(m_options.clientIdFolder));
    EXPECT_TRUE(m_server.Requests().empty());
}

} // namespace
} // namespace App
