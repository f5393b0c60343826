#include "base/clock.h"
#include "server/http/byte_range.h"
#include "server/http/content_disposition.h"
#include "server/http/cookie_value.h"
#include "server/http/entity_tag.h"
#include "server/http/http_date.h"
#include "server/http/mime_types.h"
#include "server/http/percent_coding.h"
#include "server/http/reason_phrase.h"
#include "server/http/request_helpers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Velto::Corvane {
namespace {

TEST(PercentCodingTest, EncodeKeepsTheUnreservedSetAndEscapesEverythingElse) {
    EXPECT_EQ(PercentEncode("a b/c~_-.Z9", false), "a%20b/c~_-.Z9");
    EXPECT_EQ(PercentEncode("a/b", true), "a%2Fb");
    EXPECT_EQ(PercentEncode("\xC3\xA9", false), "%C3%A9");
    EXPECT_EQ(PercentEncode(std::string("\0\x7F\xFF", 3), false), "%00%7F%FF");
    EXPECT_EQ(PercentEncode("", true), "");
}

TEST(PercentCodingTest, DecodeTable) {
    struct Case {
        std::string input;
        bool plusAsSpace;
        std::optional<std::string> path; // PercentDecode
        std::optional<std::string> form; // FormDecode
    };
    const std::vector<Case> cases = {
        {"%41", false, "A", "A"},
        {"%4a%4A", false, "JJ", "JJ"},
        {"a+b", false, "a+b", "a b"},
        {"a+b", true, "a b", "a b"},
        {"%20x", false, " x", " x"},
        {"", false, "", ""},
        {"%4", false, std::nullopt, std::nullopt},
        {"%", false, std::nullopt, std::nullopt},
        {"ab%", false, std::nullopt, std::nullopt},
        {"%G1", false, std::nullopt, std::nullopt},
        {"%00", false, std::nullopt, std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(PercentDecode(c.input, c.plusAsSpace), c.path);
        EXPECT_EQ(FormDecode(c.input), c.form);
    }
}

TEST(ContentDispositionTest, FallbackAndUtf8Name) {
    EXPECT_EQ(ContentDisposition("attachment", u"보고서.txt"),
              "attachment; filename=\"___.txt\"; filename*=UTF-8''%EB%B3%B4%EA%B3%A0%EC%84%9C.txt");
    EXPECT_EQ(ContentDisposition("inline", u"\"a;b%\\c"),
              "inline; filename=\"_a_b__c\"; filename*=UTF-8''%22a%3Bb%25%5Cc");
    EXPECT_EQ(ContentDisposition("attachment", u""),
              "attachment; filename=\"download\"; filename*=UTF-8''");
    // One character outside the basic plane is two code units, so two underscores.
    EXPECT_EQ(ContentDisposition("attachment", u"\U0001F600 x"),
              "attachment; filename=\"__ x\"; filename*=UTF-8''%F0%9F%98%80%20x");
}

TEST(HttpDateTest, FormatsUtc) {
    // 2024-01-05 06:07:08 UTC.
    EXPECT_EQ(HttpDate(FileTimeFromUnix(1704434828, 0)), "Fri, 05 Jan 2024 06:07:08 GMT");
    EXPECT_EQ(HttpDate(FileTimeFromUnix(0, 0)), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(HttpDate(0), "Mon, 01 Jan 1601 00:00:00 GMT");
    EXPECT_EQ(HttpDate(0xFFFFFFFFFFFFFFFFull), "");
}

TEST(EntityTagTest, MakeAndMatch) {
    EXPECT_EQ(MakeEtag(0, 0), "\"0-0\"");
    EXPECT_EQ(MakeEtag(0x1A2B, 0x01D9AB0012345678ull), "\"1a2b-1d9ab0012345678\"");
    const std::string tag = "\"1a-2b\"";
    EXPECT_TRUE(EtagListMatches("\"x\", \"1a-2b\" ,\"y\"", tag));
    EXPECT_TRUE(EtagListMatches("W/\"1a-2b\"", tag));
    EXPECT_TRUE(EtagListMatches(" * ", tag));
    EXPECT_FALSE(EtagListMatches("1a-2b", tag));
    EXPECT_FALSE(EtagListMatches("", tag));
    EXPECT_FALSE(EtagListMatches("\"1a-2c\"", tag));
}

TEST(ByteRangeTest, SingleRangeTable) {
    struct Case {
        std::string value;
        std::uint64_t size;
        RangeResult result;
        std::uint64_t first;
        std::uint64_t last;
    };
    const std::vector<Case> cases = {
        {"bytes=0-499", 1000, RangeResult::Satisfiable, 0, 499},
        {"bytes=500-", 1000, RangeResult::Satisfiable, 500, 999},
        {"bytes=-200", 1000, RangeResult::Satisfiable, 800, 999},
        {"bytes=-2000", 1000, RangeResult::Satisfiable, 0, 999},
        {"bytes=900-5000", 1000, RangeResult::Satisfiable, 900, 999},
        {" bytes= 10 - 20 ", 1000, RangeResult::Satisfiable, 10, 20},
        {"bytes=1000-", 1000, RangeResult::Unsatisfiable, 0, 0},
        {"bytes=-0", 1000, RangeResult::Unsatisfiable, 0, 0},
        {"bytes=0-", 0, RangeResult::Unsatisfiable, 0, 0},
        {"bytes=-5", 0, RangeResult::Unsatisfiable, 0, 0},
        {"bytes=5-1", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=0-1,5-6", 1000, RangeResult::Ignore, 0, 0},
        {"Bytes=0-1", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=5", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=a-5", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=-", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=10000000000000000000-", 1000, RangeResult::Ignore, 0, 0},
        {"bytes=9999999999999999999-", 1000, RangeResult::Unsatisfiable, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const ByteRange range = ParseByteRange(c.value, c.size);
        EXPECT_EQ(range.result, c.result);
        if (c.result == RangeResult::Satisfiable) {
            EXPECT_EQ(range.first, c.first);
            EXPECT_EQ(range.last, c.last);
        }
    }
}

TEST(CookieValueTest, FindsTheNamedCookieExactly) {
    EXPECT_EQ(CookieValue("b=1; a = 2 ; c", "a"), "2");
    EXPECT_EQ(CookieValue("A=1", "a"), "");
    EXPECT_EQ(CookieValue("a=\"q%20\"", "a"), "\"q%20\"");
    EXPECT_EQ(CookieValue("x=1;a=first;a=second", "a"), "first");
    EXPECT_EQ(CookieValue("a=x=y", "a"), "x=y");
    EXPECT_EQ(CookieValue("", "a"), "");
}

TEST(MimeTypesTest, ExtensionTable) {
    struct Case {
        std::u16string name;
        std::string_view type;
        MediaKind kind;
        bool inlineSafe;
    };
    const std::vector<Case> cases = {
        {u"Photo.JPG", "image/jpeg", MediaKind::Image, true},
        {u"scan.TiF", "image/tiff", MediaKind::Image, false},
        {u"x.svg", "image/svg+xml", MediaKind::Other, false},
        {u"movie.mkv", "video/x-matroska", MediaKind::Video, false},
        {u"song.opus", "audio/ogg", MediaKind::Audio, true},
        {u"data.json", "text/plain; charset=utf-8", MediaKind::Text, true},
        {u"page.htm", "text/html", MediaKind::Other, false},
        {u"archive.tar.gz", "application/octet-stream", MediaKind::Other, false},
        {u"README", "application/octet-stream", MediaKind::Other, false},
        {u"trailing.", "application/octet-stream", MediaKind::Other, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.name));
        const MimeInfo info = MimeForName(c.name);
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(info.inlineSafe, c.inlineSafe);
    }
}

TEST(ReasonPhraseTest, KnownAndUnknownCodes) {
    EXPECT_EQ(ReasonPhrase(413), "Content Too Large");
    EXPECT_EQ(ReasonPhrase(431), "Request Header Fields Too Large");
    EXPECT_EQ(ReasonPhrase(308), "Permanent Redirect");
    EXPECT_EQ(ReasonPhrase(418), "");
}

TEST(RequestHelpersTest, QueryParamDecodesAndSkipsBrokenSegments) {
    HttpRequest request;
    request.query = "?&a=1&b+c=x+y%21&flag&bad=%G1&bad=ok&e=&a=2";
    EXPECT_EQ(QueryParam(request, "a"), "1");
    EXPECT_EQ(QueryParam(request, "b c"), "x y!");
    EXPECT_EQ(QueryParam(request, "flag"), "");
    EXPECT_EQ(QueryParam(request, "bad"), "ok");
    EXPECT_EQ(QueryParam(request, "missing"), "");
}

TEST(RequestHelpersTest, HeaderLookups) {
    HttpRequest request;
    request.head.headers = {{"connection", "keep-alive, Upgrade"},
                            {"cookie", "vcs=abc; x=1"},
                            {"cookie", "vcs=second"},
                            {"connection", " ,close"}};
    EXPECT_EQ(*FindHeader(request.head, "cookie"), "vcs=abc; x=1");
    EXPECT_EQ(FindHeader(request.head, "Cookie"), nullptr);
    EXPECT_EQ(CountHeaders(request.head, "connection"), 2u);
    EXPECT_TRUE(HeaderHasToken(request.head, "connection", "upgrade"));
    EXPECT_TRUE(HeaderHasToken(request.head, "connection", "close"));
    EXPECT_FALSE(HeaderHasToken(request.head, "connection", "keep"));
    EXPECT_EQ(Cookie(request, "vcs"), "abc");
    EXPECT_EQ(Cookie(request, "none"), "");
}

} // namespace
} // namespace Velto::Corvane
