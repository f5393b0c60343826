#include "base/diag_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Velto::Net {
namespace {

class DiagLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_id = DiagLog::Instance().AddSink([this](const LogRecord& r) { records.push_back(r); });
    }
    void TearDown() override {
        DiagLog::Instance().RemoveSink(m_id);
        DiagLog::Instance().SetThreshold(LogLevel::Info);
    }

    std::vector<LogRecord> records;

private:
    int m_id{0};
};

TEST_F(DiagLogTest, ThresholdDropsLowerLevelsAndSinksSeeTheRest) {
    DiagLog& log = DiagLog::Instance();
    EXPECT_EQ(log.Threshold(), LogLevel::Info);
    log.Log(LogLevel::Debug, u"Net", u"dropped");
    log.Log(LogLevel::Info, u"Net", u"kept");
    log.Log(LogLevel::Warning, u"Tls", std::string_view("utf-8 \xC3\xA9"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, u"kept");
    EXPECT_EQ(records[0].level, LogLevel::Info);
    EXPECT_NE(records[0].threadId, 0u);
    EXPECT_EQ(records[1].tag, u"Tls");
    EXPECT_EQ(records[1].message, u"utf-8 é");

    std::vector<int> order;
    const int first = log.AddSink([&](const LogRecord&) { order.push_back(1); });
    const int second = log.AddSink([&](const LogRecord&) { order.push_back(2); });
    log.Log(LogLevel::Error, u"Net", u"x");
    log.RemoveSink(first);
    log.RemoveSink(second);
    log.Log(LogLevel::Error, u"Net", u"y");
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(DiagLogTest, LogFailureFormats) {
    LogFailure("recv", static_cast<Result>(0x80072746u));
    LogFailure(nullptr, static_cast<Result>(0x80071234u));
    LogFailure("bind", static_cast<Result>(0x80072740u));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].message, u"recv failed: 0x80072746 (Connection reset by peer)");
    EXPECT_EQ(records[0].level, LogLevel::Error);
    EXPECT_EQ(records[0].tag, u"Net");
    EXPECT_EQ(records[1].message, u"(unknown) failed: 0x80071234");
    EXPECT_EQ(records[2].message, u"bind failed: 0x80072740 (Address already in use)");

    // Above Error nothing is even built.
    DiagLog::Instance().SetThreshold(static_cast<LogLevel>(4));
    LogFailure("recv", kFail);
    EXPECT_EQ(records.size(), 3u);
}

} // namespace
} // namespace Velto::Net
