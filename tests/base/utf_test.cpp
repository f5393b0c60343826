#include "base/utf.h"

#include <gtest/gtest.h>

namespace Velto {
namespace {

TEST(UtfTest, RoundTripsValidText) {
    const std::string samples[] = {"", "plain", "한국어 파일.txt", "emoji \xF0\x9F\x98\x80 end",
                                   "\xEF\xBF\xBD"};
    for (const auto& s : samples) {
        SCOPED_TRACE(s);
        ASSERT_TRUE(IsValidUtf8(s));
        std::u16string wide;
        ASSERT_TRUE(Utf8ToUtf16Strict(s, wide));
        EXPECT_EQ(Utf16ToUtf8(wide), s);
        EXPECT_EQ(Utf8ToUtf16(s), wide);
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
}

TEST(UtfTest, RejectsAndReplacesMalformed) {
    struct Case {
        std::string bytes;
        std::u16string lossy;
    };
    const Case cases[] = {
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"a\xE2\x82", u"a\uFFFD"},                         // truncated sequence
        {"\xFF", u"\uFFFD"},
        {"\x80x", u"\uFFFDx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_FALSE(IsValidUtf8(c.bytes));
        std::u16string out;
        EXPECT_FALSE(Utf8ToUtf16Strict(c.bytes, out));
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.lossy);
    }
}

TEST(UtfTest, LoneSurrogatesBecomeReplacement) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), std::string("a\xEF\xBF\xBD") + 'b');
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

} // namespace
} // namespace Velto
