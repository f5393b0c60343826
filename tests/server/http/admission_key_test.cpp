#include "server/http/admission_key.h"

#include <gtest/gtest.h>

namespace Velto::Corvane {
namespace {

TEST(AdmissionKeyTest, IPv4IsItselfAndIPv6CountsByItsSlash64) {
    struct Case {
        const char* peer;
        const char* key;
    };
    const Case cases[] = {
        {"192.0.2.7", "192.0.2.7"},
        {"127.0.0.1", "127.0.0.1"},
        // Every address of one /64 is one client...
        {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
        {"2001:db8:1:2:ffff:ffff:ffff:fffe", "2001:db8:1:2::/64"},
        {"2001:0db8:0001:0002:0:0:0:9", "2001:db8:1:2::/64"},
        // ...and the next /64 is another.
        {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
        {"::1", "0:0:0:0::/64"},
        {"fe80::1", "fe80:0:0:0::/64"},
        {"not an address", "not an address"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AdmissionKey(c.peer), c.key) << c.peer;
}

} // namespace
} // namespace Velto::Corvane
