// The group an address counts in for per-client limits.
#include "server/http/client_group.h"

#include <gtest/gtest.h>

namespace Velto::Corvane {
namespace {

TEST(ClientGroup, IPv6CountsByItsSlash64AndIPv4Alone) {
    const struct {
        const char* peer;
        const char* group;
    } cases[] = {
        {"127.0.0.2", "127.0.0.2"},
        {"192.168.1.20", "192.168.1.20"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
        {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
        {"fe80::1", "fe80::/64"},
        {"::1", "::/64"},
        {"not:an:address:at:all", "not:an:address:at:all"},
        {"", ""},
    };
    for (const auto& row : cases)
        EXPECT_EQ(ClientGroupOf(row.peer), row.group) << row.peer;
}

} // namespace
} // namespace Velto::Corvane
