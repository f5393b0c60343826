#include "base/clock.h"

#include <gtest/gtest.h>

namespace Velto {
namespace {

TEST(ClockTest, FileTimeConversions) {
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000ULL);
    EXPECT_EQ(FileTimeFromUnix(1, 999), 116444736010000009ULL);
    EXPECT_EQ(FileTimeFromUnix(-11644473601LL, 0), 0u); // before 1601
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeFromUnix(1700000000, 5)), 1700000000);
}

TEST(ClockTest, TickCountIsMonotonic) {
    const auto a = TickCount64();
    const auto b = TickCount64();
    EXPECT_LE(a, b);
    EXPECT_GT(a, 0u);
}

} // namespace
} // namespace Velto
