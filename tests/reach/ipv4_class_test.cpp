#include "reach/ipv4_class.h"

#include <gtest/gtest.h>
#include <string>

namespace Velto::Corvane {
namespace {

TEST(ClassifyIPv4Test, RangesAndBoundaries) {
    struct Case {
        std::string_view text;
        IPv4Class expected;
    };
    const Case cases[] = {
        {"192.168.0.1", IPv4Class::Private},
        {"192.167.255.255", IPv4Class::Public},
        {"10.0.0.0", IPv4Class::Private},
        {"10.255.255.255", IPv4Class::Private},
        {"11.0.0.1", IPv4Class::Public},
        {"172.15.255.255", IPv4Class::Public},
        {"172.16.0.0", IPv4Class::Private},
        {"172.31.255.255", IPv4Class::Private},
        {"172.32.0.1", IPv4Class::Public},
        {"169.254.10.10", IPv4Class::Private},
        {"169.253.0.1", IPv4Class::Public},
        {"100.63.255.255", IPv4Class::Public},
        {"100.64.0.1", IPv4Class::Shared},
        {"100.127.255.255", IPv4Class::Shared},
        {"100.128.0.1", IPv4Class::Public},
        {"8.8.8.8", IPv4Class::Public},
        {"223.255.255.255", IPv4Class::Public},
        {"127.0.0.1", IPv4Class::Invalid},
        {"0.1.2.3", IPv4Class::Invalid},
        {"224.0.0.1", IPv4Class::Invalid},
        {"255.255.255.255", IPv4Class::Invalid},
        {"", IPv4Class::Invalid},
        {"abc", IPv4Class::Invalid},
        {"192.168.1", IPv4Class::Invalid},
        {"192.168.1.1 ", IPv4Class::Invalid},
        {"192.168.1.256", IPv4Class::Invalid},
        {"::1", IPv4Class::Invalid},
        {"1.2.3.4.5", IPv4Class::Invalid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyIPv4(c.text), c.expected) << "address \"" << c.text << "\"";
}

TEST(ClassifyIPv4Test, EmbeddedNulIsNotCutShort) {
    const std::string text{"192.168.1.1\0junk", 16};
    EXPECT_EQ(ClassifyIPv4(text), IPv4Class::Invalid);
}

} // namespace
} // namespace Velto::Corvane
