// Reading, clamping and writing a number box's text.
#include "widget/controls/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Velto::Widget::Controls {
namespace {

TEST(NumberText, ParseAndClamp) {
    struct Case {
        std::u16string_view text;
        double minimum, maximum;
        int decimals;
        std::u16string_view suffix;
        std::optional<double> committed; // after clamping; none: reverts
    };
    const Case cases[] = {
        {u"70000", 1, 65535, 0, u"", 65535},
        {u"0", 1, 65535, 0, u"", 1},
        {u"abc", 1, 65535, 0, u"", std::nullopt},
        {u"", 0, 100, 0, u"", std::nullopt},
        {u"  42  ", 0, 100, 0, u"", 42},
        {u"+7", 0, 100, 0, u"", 7},
        {u"-5", -10, 10, 0, u"", -5},
        {u"-50", -10, 10, 0, u"", -10},
        {u"1,5", 0, 10, 1, u"", 1.5},
        {u"2.25", 0, 10, 2, u"", 2.25},
        {u",5", 0, 10, 1, u"", 0.5},
        {u"100 MB", 0, 1000, 0, u"MB", 100},
        {u"100MB", 0, 1000, 0, u"MB", 100},
        {u"100 ", 0, 1000, 0, u"MB", 100},
        {u"12abc", 0, 100, 0, u"", 12}, // the number at the start counts
        {u"-", -10, 10, 0, u"", std::nullopt},
        {u"1e999", 0, 10, 0, u"", 1}, // no exponents: reads "1"
    };
    for (const Case& c : cases) {
        NumberFormat format{c.minimum, c.maximum, c.decimals, std::u16string(c.suffix)};
        const std::optional<double> parsed = ParseNumberText(c.text, format);
        const std::string label(c.text.begin(), c.text.end());
        ASSERT_EQ(parsed.has_value(), c.committed.has_value()) << label;
        if (parsed) {
            EXPECT_DOUBLE_EQ(ClampNumber(*parsed, format), *c.committed) << label;
        }
    }
}

TEST(NumberText, AcceptedCharactersFollowTheFormat) {
    NumberFormat whole{0, 100, 0, {}};
    NumberFormat signedDecimal{-5, 5, 2, {}};
    for (char32_t c : U"0123456789+ ") {
        if (c != 0) {
            EXPECT_TRUE(AcceptsNumberCharacter(c, whole));
        }
    }
    for (char32_t c : {U'-', U'.', U',', U'a', U'e', U'M'})
        EXPECT_FALSE(AcceptsNumberCharacter(c, whole));
    for (char32_t c : {U'-', U'.', U','})
        EXPECT_TRUE(AcceptsNumberCharacter(c, signedDecimal));
}

TEST(NumberText, FormatsWithTheDecimalsInTheCLocale) {
    EXPECT_EQ(FormatNumber(65535, 0), u"65535");
    EXPECT_EQ(FormatNumber(1.5, 1), u"1.5");
    EXPECT_EQ(FormatNumber(2.0 / 3, 2), u"0.67");
    EXPECT_EQ(FormatNumber(-0.001, 1), u"0.0");
    EXPECT_EQ(FormatNumber(-3, 0), u"-3");
}

} // namespace
} // namespace Velto::Widget::Controls
