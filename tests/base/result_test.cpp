#include "base/result.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace Velto {
namespace {

TEST(ResultTest, ErrnoTable) {
    struct Case {
        int err;
        bool onBind;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {EADDRINUSE, false, 0x80072740u}, {EACCES, true, 0x8007271Du},
        {EPERM, true, 0x8007271Du},       {EACCES, false, 0x80070005u},
        {ENOTCONN, false, 0x80072749u},   {EAGAIN, false, 0x8007274Cu},
        {ETIMEDOUT, false, 0x8007274Cu},  {ECONNRESET, false, 0x80072746u},
        {ECONNABORTED, false, 0x80072745u}, {EPIPE, false, 0x8007274Au},
        {EINTR, false, 0x80072714u},      {EMFILE, false, 0x80072728u},
        {ENETUNREACH, false, 0x80072743u}, {ECONNREFUSED, false, 0x8007274Du},
        {EADDRNOTAVAIL, false, 0x80072741u}, {ENOSPC, false, 0x80070070u},
        {EDQUOT, false, 0x80070070u},     {ENOENT, false, 0x80070002u},
        {ENOTDIR, false, 0x80070003u},    {EEXIST, false, 0x800700B7u},
        {EXDEV, false, 0x80004005u},      {0, false, 0x80004005u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<std::uint32_t>(ResultFromErrno(c.err, c.onBind)), c.expected)
            << "errno " << c.err;
    }
}

TEST(ResultTest, Win32FormAndText) {
    EXPECT_EQ(static_cast<std::uint32_t>(ResultFromWin32(10057)), 0x80072749u);
    EXPECT_EQ(ResultFromWin32(0), 0);
    EXPECT_EQ(ResultFromWin32(-5), -5);
    EXPECT_EQ(FormatResult(kAddrInUse), "80072740");
    EXPECT_EQ(FormatResult(0x0A), "0000000A");
}

} // namespace
} // namespace Velto
