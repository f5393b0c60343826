#include "reach/http_url.h"

#include <gtest/gtest.h>

namespace Velto::Corvane {
namespace {

TEST(HttpUrlTest, ParseCases) {
    struct Case {
        std::string_view url;
        bool ok;
        std::string_view host;
        std::uint16_t port;
        std::string_view path;
    };
    const Case cases[] = {
        {"http://192.168.1.1:5000/rootDesc.xml", true, "192.168.1.1", 5000, "/rootDesc.xml"},
        {"HTTP://Router.Lan/a/b?c=d", true, "Router.Lan", 80, "/a/b?c=d"},
        {"http://10.0.0.1", true, "10.0.0.1", 80, "/"},
        {"http://10.0.0.1:1/", true, "10.0.0.1", 1, "/"},
        {"http://10.0.0.1:65535/x", true, "10.0.0.1", 65535, "/x"},
        {"http://10.0.0.1:00080/x", true, "10.0.0.1", 80, "/x"},
        {"http://10.0.0.1:0/", false, "", 0, ""},
        {"http://10.0.0.1:65536/", false, "", 0, ""},
        {"http://10.0.0.1:000080/", false, "", 0, ""},
        {"http://10.0.0.1:/", false, "", 0, ""},
        {"http://10.0.0.1:80x/", false, "", 0, ""},
        {"http://10.0.0.1:-1/", false, "", 0, ""},
        {"http://user@10.0.0.1/", false, "", 0, ""},
        {"http://[fe80::1]:5000/", false, "", 0, ""},
        {"http:///path", false, "", 0, ""},
        {"http://:80/path", false, "", 0, ""},
        {"https://10.0.0.1/", false, "", 0, ""},
        {"ftp://10.0.0.1/", false, "", 0, ""},
        {"http:/10.0.0.1/", false, "", 0, ""},
        {"", false, "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const auto url = ParseHttpUrl(c.url);
        ASSERT_EQ(url.has_value(), c.ok);
        if (!url)
            continue;
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->path, c.path);
    }
}

TEST(HttpUrlTest, ResolveCases) {
    struct Case {
        std::string_view base;
        std::string_view reference;
        std::string_view expected;
    };
    const Case cases[] = {
        {"http://192.168.1.1:5000/rootDesc.xml", "/ctl/IPConn",
         "http://192.168.1.1:5000/ctl/IPConn"},
        {"http://192.168.1.1:5000/rootDesc.xml", "ctl", "http://192.168.1.1:5000/ctl"},
        {"http://192.168.1.1:5000/dev/desc.xml?v=1/2", "ctl", "http://192.168.1.1:5000/dev/ctl"},
        {"http://192.168.1.1:5000", "ctl", "http://192.168.1.1:5000/ctl"},
        {"http://192.168.1.1:5000", "/ctl", "http://192.168.1.1:5000/ctl"},
        {"http://192.168.1.1/a/", "b", "http://192.168.1.1/a/b"},
        {"http://192.168.1.1/a", "HTTP://10.0.0.1/x", "HTTP://10.0.0.1/x"},
        {"http://192.168.1.1/a", "", "http://192.168.1.1/"},
        {"no-slashes", "ctl", ""},
        {"no-slashes", "/ctl", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveUrl(c.base, c.reference), c.expected) << c.base << " + " << c.reference;
}

} // namespace
} // namespace Velto::Corvane
