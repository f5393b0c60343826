// Search by name through the real server, on real files in a temporary folder:
// what matches (letter case, accents, Korean, several words), what never shows
// (hidden and temporary names, links out of the share, second visits through
// link loops) and who may search.
#include "tests/webapp/web_app_fixture.h"

#include "webapp/fs/share_root.h"
#include "webapp/search/search_slots.h"
#include "webapp/search/share_search.h"

#include <fstream>
#include <set>

namespace Velto::Corvane::Testing {
namespace {

std::string UrlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string SearchUrl(std::string_view share, std::string_view query, std::string_view path = {}) {
    return "/api/search?share=" + UrlEncode(share) + "&path=" + UrlEncode(path) +
           "&q=" + UrlEncode(query);
}

// "folder/name" of every result ("name" at the share's root).
std::multiset<std::string> Found(const JsonValue& reply) {
    std::multiset<std::string> found;
    for (const JsonValue& item : reply.Get("items").AsArray()) {
        const std::string& folder = item.Get("path").AsString();
        found.insert(folder.empty() ? item.Get("name").AsString()
                                    : folder + "/" + item.Get("name").AsString());
    }
    return found;
}

class SearchRoute : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_docs = Files() / "docs";
        for (const char* file :
             {"docs/보고서 2024.txt", "docs/보고서 초안.hwp", "docs/Résumé Final.pdf",
              "docs/resume-draft.TXT", "docs/Straße.txt", "docs/ＡＢＣ wide.txt",
              "docs/한국어 문서.docx", "docs/notes.md", "docs/프로젝트/2024 보고서 최종.txt",
              "docs/프로젝트/deep/er/Report 2024 résumé.txt", "docs/.hidden 보고서.txt",
              "docs/.hidden-dir/보고서 inside.txt", "docs/.vcsupload-0123456789abcdef",
              "docs/sub/.VCSUPLOAD-report", "docs/bad\xff report.txt", "outside/report.txt"})
            WriteFile(file, "x");
        // "한글 자료" written as separate jamo (decomposed), as some systems store it.
        WriteFile("docs/\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab\xe1\x84\x80\xe1\x85\xb3\xe1\x86\xaf "
                  "자료.txt",
                  "x");
        m_config.shares.push_back(MakeShare("00000000000000e1", u"docs", m_docs));
        Apply(m_config);
    }

    JsonValue SearchOk(std::string_view query, std::string_view path = {}) {
        const ClientResponse reply = Get(SearchUrl("docs", query, path));
        EXPECT_EQ(reply.status, 200) << reply.body;
        return Json(reply);
    }

    std::filesystem::path m_docs;
    Config m_config;
};

TEST_F(SearchRoute, MatchesEveryWordIgnoringCaseWidthAndAccents) {
    const std::string jamoName =
        "\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab\xe1\x84\x80\xe1\x85\xb3\xe1\x86\xaf 자료.txt";
    struct Case {
        std::string query;
        std::multiset<std::string> expected;
    };
    const Case cases[] = {
        {"보고서", {"보고서 2024.txt", "보고서 초안.hwp", "프로젝트/2024 보고서 최종.txt"}},
        {"보고서 2024", {"보고서 2024.txt", "프로젝트/2024 보고서 최종.txt"}},
        {"  2024\t보고서  최종 ", {"프로젝트/2024 보고서 최종.txt"}},
        {"RESUME",
         {"Résumé Final.pdf", "resume-draft.TXT", "프로젝트/deep/er/Report 2024 résumé.txt"}},
        {"résumé final", {"Résumé Final.pdf"}},
        {"RÉSUMÉ 2024 report", {"프로젝트/deep/er/Report 2024 résumé.txt"}},
        {"strasse", {"Straße.txt"}},
        {"abc", {"ＡＢＣ wide.txt"}},
        {"ａｂｃ", {"ＡＢＣ wide.txt"}},
        {"한글", {jamoName}},
        {"\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab\xe1\x84\x80\xe1\x85\xb3\xe1\x86\xaf", {jamoName}},
        // A syllable never matches as part of another: 하 is not in 한.
        {"하", {}},
        {"프로젝트", {"프로젝트"}},
        {"보고서 nothing", {}},
        {"inside", {}},
        {"report", {"프로젝트/deep/er/Report 2024 résumé.txt"}},
    };
    for (const Case& row : cases) {
        const JsonValue reply = SearchOk(row.query);
        EXPECT_EQ(Found(reply), row.expected) << row.query;
        EXPECT_FALSE(reply.Get("truncated").AsBool()) << row.query;
    }
}

TEST_F(SearchRoute, ResultsAreTheListingsItemsWithTheirFolder) {
    const JsonValue reply = SearchOk("2024");
    EXPECT_EQ(reply.Get("share").AsString(), "docs");
    EXPECT_EQ(reply.Get("query").AsString(), "2024");
    EXPECT_EQ(SerializeJson(reply.Get("permissions"), false), R"(["read"])");
    ASSERT_EQ(reply.Get("items").AsArray().size(), 3u);
    // Nearest first: the root's match comes before the deeper ones.
    EXPECT_EQ(reply.Get("items").AsArray()[0].Get("path").AsString(), "");
    for (const JsonValue& item : reply.Get("items").AsArray()) {
        const std::string folder = item.Get("path").AsString();
        const JsonValue listing = Json(Get("/api/list?share=docs&path=" + UrlEncode(folder)));
        JsonValue withoutPath = JsonValue::MakeObject();
        for (const auto& [key, value] : item.AsMembers()) {
            if (key != "path")
                withoutPath.Set(key, value);
        }
        bool listed = false;
        for (const JsonValue& listed_item : listing.Get("items").AsArray())
            listed =
                listed || SerializeJson(listed_item, false) == SerializeJson(withoutPath, false);
        EXPECT_TRUE(listed) << SerializeJson(item, false);
    }

    // Below a folder only; that folder's path is where results start.
    EXPECT_EQ(Found(SearchOk("보고서", "프로젝트")),
              (std::multiset<std::string>{"프로젝트/2024 보고서 최종.txt"}));
    EXPECT_EQ(Found(SearchOk("résumé", "/프로젝트/deep/")),
              (std::multiset<std::string>{"프로젝트/deep/er/Report 2024 résumé.txt"}));
}

TEST_F(SearchRoute, HiddenItemsShowOnlyWhenTheServerShowsThem) {
    m_config.showHidden = true;
    Apply(m_config);
    EXPECT_EQ(Found(SearchOk("inside")),
              (std::multiset<std::string>{".hidden-dir/보고서 inside.txt"}));
    EXPECT_EQ(Found(SearchOk("hidden 보고서")), (std::multiset<std::string>{".hidden 보고서.txt"}));
    // Unfinished uploads stay out even then.
    EXPECT_EQ(Found(SearchOk("vcsupload")), std::multiset<std::string>{});
}

TEST_F(SearchRoute, LinksCountWhereListingsFollowThemAndLoopsOnce) {
    WriteFile("docs/real/loop-target.txt", "x");
    std::filesystem::create_symlink("..", m_docs / "real" / "up-loop");
    std::filesystem::create_symlink(".", m_docs / "real" / "self-loop");
    std::filesystem::create_symlink(m_docs / "real", m_docs / "alias of real");
    std::filesystem::create_symlink(Files() / "outside", m_docs / "out-dir");
    std::filesystem::create_symlink(Files() / "outside" / "report.txt", m_docs / "out report");
    std::filesystem::create_symlink("notes.md", m_docs / "notes link");
    std::filesystem::create_symlink(".hidden-dir", m_docs / "to hidden");

    // Each folder is read once: through its own path, not again through the
    // links that lead back to it.
    EXPECT_EQ(Found(SearchOk("loop-target")), (std::multiset<std::string>{"real/loop-target.txt"}));
    // Links that open inside the share are results like any item.
    EXPECT_EQ(
        Found(SearchOk("loop")),
        (std::multiset<std::string>{"real/loop-target.txt", "real/up-loop", "real/self-loop"}));
    EXPECT_EQ(Found(SearchOk("notes")), (std::multiset<std::string>{"notes.md", "notes link"}));
    EXPECT_EQ(Found(SearchOk("alias")), (std::multiset<std::string>{"alias of real"}));
    // Out of the share: neither the link nor what it leads to.
    EXPECT_EQ(Found(SearchOk("report")),
              (std::multiset<std::string>{"프로젝트/deep/er/Report 2024 résumé.txt"}));
    EXPECT_EQ(Found(SearchOk("out")), std::multiset<std::string>{});
    EXPECT_EQ(Found(SearchOk("inside")), std::multiset<std::string>{});

    // Searching below a link searches where it leads, once.
    EXPECT_EQ(Found(SearchOk("loop-target", "alias of real")),
              (std::multiset<std::string>{"alias of real/loop-target.txt"}));
    EXPECT_EQ(Get(SearchUrl("docs", "report", "out-dir")).body, R"({"error":"notFound"})");
}

TEST_F(SearchRoute, AnswersLikeTheListingForWhoMayNotRead) {
    std::filesystem::create_directories(Files() / "staff");
    WriteFile("staff/report.txt", "x");
    m_config.shares.push_back(MakeShare("00000000000000e2", u"staff", Files() / "staff",
                                        AccessFlags::Read, TestHash("sesame")));
    m_config.shares.push_back(
        MakeShare("00000000000000e3", u"private", Files() / "staff", AccessFlags::None));
    m_config.shares.push_back(MakeShare("00000000000000e4", u"single", m_docs / "notes.md"));
    m_config.shares.back().file = true;
    m_config.accounts.push_back(
        MakeAccount(u"bob", "b", {{"00000000000000e1", AccessFlags::Read}}));
    Apply(m_config);
    const std::string bob = SignIn("bob", "b");

    struct Case {
        std::string share;
        std::string path;
        std::string cookie;
        std::string error;
    };
    const Case cases[] = {
        {"staff", "", "", R"({"error":"locked"})"},
        {"private", "", "", R"({"error":"signIn"})"},
        {"private", "", bob, R"({"error":"notFound"})"},
        {"nothing", "", "", R"({"error":"notFound"})"},
        {"docs", "../outside", "", R"({"error":"badPath"})"},
        {"docs", ".hidden-dir", "", R"({"error":"notFound"})"},
        {"docs", "notes.md", "", R"({"error":"notFound"})"},
        {"docs", "gone", "", R"({"error":"notFound"})"},
    };
    for (const Case& row : cases) {
        const ClientResponse searched = Get(SearchUrl(row.share, "report", row.path), row.cookie);
        EXPECT_EQ(searched.body, row.error) << row.share << "/" << row.path;
        const ClientResponse listed = Get(
            "/api/list?share=" + UrlEncode(row.share) + "&path=" + UrlEncode(row.path), row.cookie);
        EXPECT_EQ(searched.status, listed.status) << row.share << "/" << row.path;
    }

    // The one file of a single-file share is found at its root.
    EXPECT_EQ(Found(Json(Get(SearchUrl("single", "NOTES")))),
              (std::multiset<std::string>{"notes.md"}));
    EXPECT_EQ(Found(Json(Get(SearchUrl("single", "other")))), std::multiset<std::string>{});

    // A query without a word, or not UTF-8, is refused.
    for (const std::string query : {"", "   ", "\xff"})
        EXPECT_EQ(Get(SearchUrl("docs", query)).body, R"({"error":"badRequest"})");
    EXPECT_EQ(Get(SearchUrl("docs", std::string(300, 'a'))).status, 400);
}

TEST(SearchSlots, LimitsEachAddressOnItsOwn) {
    SearchSlots slots(2);
    std::optional<SearchSlots::Held> first(slots.TryTake("192.0.2.1"));
    const SearchSlots::Held second = slots.TryTake("192.0.2.1");
    EXPECT_TRUE(*first);
    EXPECT_TRUE(second);
    EXPECT_FALSE(slots.TryTake("192.0.2.1"));
    EXPECT_TRUE(slots.TryTake("192.0.2.2"));
    first.reset();
    EXPECT_TRUE(slots.TryTake("192.0.2.1"));
}

// The walk's own limits, on a tree made for each case.
class SearchLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velto-search-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        for (int folder = 0; folder < 20; ++folder) {
            const std::filesystem::path sub = m_dir / ("d" + std::to_string(folder));
            std::filesystem::create_directories(sub);
            for (int file = 0; file < 5; ++file)
                std::ofstream(sub / ("match-" + std::to_string(file)));
        }
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    SearchOutcome Run(const SearchLimits& limits, std::size_t& reported) {
        const std::optional<ShareRoot> root = ResolveShareRoot(m_dir.u16string(), false);
        EXPECT_TRUE(root.has_value());
        const std::optional<NameQuery> query = NameQuery::Parse(u"match");
        reported = 0;
        return SearchShare(*root, {}, *query, false, limits,
                           [&](const PathComponents&, const DirEntry&) { ++reported; });
    }

    std::filesystem::path m_dir;
};

TEST_F(SearchLimitsTest, StopsAtEachLimitAndSaysSo) {
    struct Case {
        SearchLimits limits;
        bool truncated;
        std::size_t found;
    };
    using std::chrono::seconds;
    const Case cases[] = {
        {{1000, 1000, seconds(60)}, false, 100},
        {{100, 1000, seconds(60)}, false, 100}, // exactly full is complete
        {{99, 1000, seconds(60)}, true, 99},
        {{1000, 5, seconds(60)}, true, 25},  // five folders queued, the rest cut
        {{1000, 1000, seconds(0)}, true, 0}, // the root alone, then out of time
    };
    for (const Case& row : cases) {
        std::size_t reported = 0;
        const SearchOutcome outcome = Run(row.limits, reported);
        EXPECT_EQ(outcome.start, OpenResult::Ok);
        EXPECT_EQ(outcome.truncated, row.truncated) << row.limits.maxResults;
        EXPECT_EQ(outcome.found, row.found) << row.limits.maxResults;
        EXPECT_EQ(reported, row.found);
    }
}

} // namespace
} // namespace Velto::Corvane::Testing
