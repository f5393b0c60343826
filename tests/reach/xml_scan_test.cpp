#include "reach/xml_scan.h"

#include <gtest/gtest.h>

namespace Velto::Corvane {
namespace {

TEST(XmlScanTest, FindElementCases) {
    struct Case {
        std::string_view xml;
        std::string_view name;
        bool found;
        std::string_view content;
    };
    const Case cases[] = {
        {"<a>x</a>", "a", true, "x"},
        // The prefix is ignored for matching, kept for the closing tag.
        {"<s:Body><u:x>1</u:x></s:Body>", "x", true, "1"},
        {"<p:a>in</a></p:a>", "a", true, "in</a>"},
        // Nested elements with the same name close in order.
        {"<a><a>in</a>tail</a>", "a", true, "<a>in</a>tail"},
        {"<a><a/>tail</a>", "a", true, "<a/>tail"},
        {"<a><a x='1'/><a>b</a></a>", "a", true, "<a x='1'/><a>b</a>"},
        // Similar names are not nested openings.
        {"<service><serviceType>t</serviceType></service>", "service", true,
         "<serviceType>t</serviceType>"},
        {"<a/>", "a", true, ""},
        {"<a attr=\"1\" />rest", "a", true, ""},
        {"<a\tb='1'>v</a>", "a", true, "v"},
        {"<ab>x</ab>", "a", false, ""},
        {"<?xml version=\"1.0\"?><!-- c --><a>v</a>", "a", true, "v"},
        {"</a><a>v</a>", "a", true, "v"},
        {"<A>v</A>", "a", false, ""},
        {"<a>unclosed", "a", false, ""},
        {"<a", "a", false, ""},
        {"<a><a>only one close</a>", "a", false, ""},
        {"", "a", false, ""},
        {"no tags at all", "a", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "<" << c.name << "> in " << c.xml);
        const auto element = FindElement(c.xml, c.name);
        ASSERT_EQ(element.has_value(), c.found);
        if (element) {
            EXPECT_EQ(element->content, c.content);
        }
    }
}

TEST(XmlScanTest, FindElementWalksSiblingsFromEnd) {
    const std::string_view xml = "<l><i>1</i><x/><i>2</i><i/></l>";
    std::vector<std::string_view> found;
    std::size_t from = 0;
    while (const auto element = FindElement(xml, "i", from)) {
        found.push_back(element->content);
        from = element->end;
    }
    EXPECT_EQ(found, (std::vector<std::string_view>{"1", "2", ""}));
    const auto first = FindElement(xml, "i");
    ASSERT_TRUE(first);
    EXPECT_EQ(xml.substr(first->end), "<x/><i>2</i><i/></l>");
}

TEST(XmlScanTest, ElementTextTrimsAndDecodes) {
    EXPECT_EQ(ElementText("<r><v>\r\n\t 11.22.33.44 \n</v></r>", "v"), "11.22.33.44");
    EXPECT_EQ(ElementText("<r><v> a &amp;amp; b </v></r>", "v"), "a &amp; b");
    EXPECT_EQ(ElementText("<r><v/></r>", "v"), "");
    EXPECT_EQ(ElementText("<r></r>", "v"), "");
}

TEST(XmlScanTest, DecodeEntities) {
    struct Case {
        std::string_view in;
        std::string_view out;
    };
    const Case cases[] = {
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        {"&#65;&#x42;&#X43;", "ABC"},
        {"&#xE9;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"&#xD7FF;&#xE000;&#x10FFFF;", "\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"},
        // Out of range or surrogates stay as written.
        {"&#0;&#xD800;&#xDFFF;&#x110000;", "&#0;&#xD800;&#xDFFF;&#x110000;"},
        {"&#99999999999999999999;", "&#99999999999999999999;"},
        // ';' must follow within ten characters of '&'.
        {"&#x010FFFF;", "\xF4\x8F\xBF\xBF"},
        {"&#x0010FFFF;", "&#x0010FFFF;"},
        {"&unknown;&amp", "&unknown;&amp"},
        {"&#;&#x;&#12a;", "&#;&#x;&#12a;"},
        {"a & b; c", "a & b; c"},
        {"&&amp;", "&&"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeXmlEntities(c.in), c.out) << c.in;
}

TEST(XmlScanTest, EscapeRoundTrips) {
    EXPECT_EQ(EscapeXml("a\"&'<>b\xC3\xA9"), "a&quot;&amp;&apos;&lt;&gt;b\xC3\xA9");
    const std::string_view text = "x<y>&\"z'";
    EXPECT_EQ(DecodeXmlEntities(EscapeXml(text)), text);
}

} // namespace
} // namespace Velto::Corvane
