#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_result.h"
#include "webapp/fs/share_root.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace Velto::Corvane {
namespace {

std::u16string Repeat(std::u16string_view piece, std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::string Show(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

TEST(ItemName, ValidNames) {
    const struct {
        std::u16string name;
        bool valid;
    } cases[] = {
        {u"a", true},
        {u"report.pdf", true},
        {u".profile", true},
        {u" leading space", true},
        {u"한글 문서.txt", true},
        {u"\U0001F600.png", true},
        {u"CONSOLE", true},
        {u"COM10", true},
        {u"", false},
        {u".", false},
        {u"..", false},
        {u"a/b", false},
        {u"/", false},
        {std::u16string(u"nul\0x", 5), false},
        {u"tab\there", false},
        {u"del\x7f", false},
        {u"unit\x1f", false},
        // Ordinary on Linux, whatever other systems make of them.
        {u"a\\b", true},
        {u"Meeting 10:30.txt", true},
        {u"What?.txt", true},
        {u"a<b>.txt", true},
        {u"quote\".txt", true},
        {u"pipe|x.txt", true},
        {u"star*.txt", true},
        {u"trailing.", true},
        {u"trailing ", true},
        {u"...", true},
        {u"con", true},
        {u"aux.c", true},
        {u"nul.txt", true},
        {u"CON.txt", true},
        {u"lone\xD800", false},
        {u"\xDC00lone", false},
        {Repeat(u"a", 255), true},
        {Repeat(u"a", 256), false},
        // Linux counts bytes too: 127 two-byte letters fit NAME_MAX, 128 do not.
        {Repeat(u"é", 127), true},
        {Repeat(u"é", 128), false},
        {Repeat(u"한", 85), true},
        {Repeat(u"한", 86), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidItemName(c.name), c.valid) << Show(c.name);
}

TEST(ItemName, UploadTempAndHiddenNames) {
    const struct {
        std::u16string name;
        bool uploadTemp;
        bool hidden;
    } cases[] = {
        {u".vcsupload-", true, true},   {u".vcsupload-0123456789abcdef", true, true},
        {u".VCSUpload-x", true, true},  {u".vcsupload", false, true},
        {u".vcsuploadx1", false, true}, {u"x.vcsupload-1", false, false},
        {u"visible", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.name));
        EXPECT_EQ(IsUploadTempName(c.name), c.uploadTemp);
        EXPECT_EQ(IsHiddenName(c.name), c.hidden);
    }
}

TEST(ItemName, ParseSharePath) {
    const struct {
        std::u16string text;
        std::optional<PathComponents> expected;
    } cases[] = {
        {u"", PathComponents{}},
        {u"/", PathComponents{}},
        {u"a", PathComponents{u"a"}},
        {u"/a/b/", PathComponents{u"a", u"b"}},
        {u"a/b c/d.txt", PathComponents{u"a", u"b c", u"d.txt"}},
        {u"a//b", std::nullopt},
        {u"//a", std::nullopt},
        {u"a/b//", std::nullopt},
        {u"a/../b", std::nullopt},
        {u"./a", std::nullopt},
        {u"..", std::nullopt},
        {u"a/./b", std::nullopt},
        {u"a/\x01", std::nullopt},
        {std::u16string(u"a/b\0", 4), std::nullopt},
        {u"d\xD800", std::nullopt},
        {u"a/b.", PathComponents{u"a", u"b."}},
        {u"a /b", PathComponents{u"a ", u"b"}},
        {u"a\\b", PathComponents{u"a\\b"}},
        {u"..\\a", PathComponents{u"..\\a"}},
        {u"con", PathComponents{u"con"}},
        {u"dir/nul.txt/a:b", PathComponents{u"dir", u"nul.txt", u"a:b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSharePath(c.text), c.expected) << Show(c.text);
}

TEST(ItemName, ParseSharePathLimits) {
    const std::u16string components128 = u"/" + Repeat(u"d/", 127) + u"d";
    const std::optional<PathComponents> parsed = ParseSharePath(components128);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->size(), kMaxPathComponents);
    EXPECT_FALSE(ParseSharePath(Repeat(u"d/", 128) + u"d"));

    EXPECT_TRUE(ParseSharePath(u"x/" + Repeat(u"n", 255)));
    EXPECT_FALSE(ParseSharePath(u"x/" + Repeat(u"n", 256)));
    EXPECT_FALSE(ParseSharePath(u"x/" + Repeat(u"é", 128))); // 256 bytes of UTF-8
}

TEST(ItemName, NamesFromDiskBytes) {
    const struct {
        std::string bytes;
        std::optional<std::u16string> name;
    } cases[] = {
        {"plain.txt", u"plain.txt"},
        {"\xed\x95\x9c.txt", u"한.txt"},
        {".hidden", u".hidden"},
        {"\xff", std::nullopt},
        {"bad\xc3", std::nullopt},
        {"\xc0\xaf", std::nullopt},     // overlong "/"
        {"\xed\xa0\x80", std::nullopt}, // encoded surrogate
        {"tab\there", std::nullopt},
        {"a:b", u"a:b"},
        {"back\\slash", u"back\\slash"},
        {"aux.log", u"aux.log"},
        {"ends.", u"ends."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemNameFromBytes(c.bytes), c.name) << c.bytes;
}

TEST(ItemName, OrdinalIgnoreCase) {
    const struct {
        std::u16string a;
        std::u16string b;
        bool equal;
    } cases[] = {
        {u"Report.TXT", u"report.txt", true},
        {u"ÄÖÜ", u"äöü", true},
        {u"Ωmega", u"ωMEGA", true},
        {u"\U0001F600", u"\U0001F600", true},
        {u"abc", u"abd", false},
        {u"abc", u"abcd", false},
        {u"straße", u"STRASSE", false}, // per code unit, no expansion
        {u"", u"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << Show(c.a) << " vs " << Show(c.b);
}

TEST(OpenResultMapping, FromErrno) {
    const struct {
        int err;
        OpenResult result;
    } cases[] = {
        {ENOENT, OpenResult::NotFound},
        {ENOTDIR, OpenResult::NotFound},
        {ENAMETOOLONG, OpenResult::NotFound},
        {ELOOP, OpenResult::NotFound},
        {EACCES, OpenResult::Denied},
        {EPERM, OpenResult::Denied},
        {EBUSY, OpenResult::Busy},
        {ETXTBSY, OpenResult::Busy},
        {EIO, OpenResult::Failed},
        {EXDEV, OpenResult::Failed},
        {EMFILE, OpenResult::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenResultFromErrno(c.err), c.result) << c.err;
}

TEST(ShareRootPath, InsideRootBoundary) {
    const struct {
        std::string dir;
        std::string path;
        bool inside;
    } cases[] = {
        {"/srv/share", "/srv/share", true},
        {"/srv/share", "/srv/share/a", true},
        {"/srv/share", "/srv/share/a/b", true},
        {"/srv/share", "/srv/share2/a", false},
        {"/srv/share", "/srv/share2", false},
        {"/srv/share", "/srv/share (deleted)", false},
        {"/srv/share", "/srv/shar", false},
        {"/srv/share", "/srv", false},
        {"/srv/share", "/SRV/share/a", false}, // byte-exact
        {"/", "/etc/passwd", true},
        {"/", "/", true},
        {"", "/a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPathInsideRoot(c.dir, c.path), c.inside) << c.dir << " | " << c.path;
}

} // namespace
} // namespace Velto::Corvane
