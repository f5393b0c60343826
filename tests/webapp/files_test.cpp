// The share list, folder listings and downloads through the real server, on
// real files in a temporary folder.
#include "tests/webapp/web_app_fixture.h"

#include "base/clock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <random>

namespace Velto::Corvane::Testing {
namespace {

// 2024-01-05 06:07:08.5 UTC.
constexpr std::int64_t kSeconds = 1'704'434'828;
constexpr std::int64_t kNanoseconds = 500'000'000;
constexpr std::string_view kDate = "Fri, 05 Jan 2024 06:07:08 GMT";

void SetTime(const std::filesystem::path& path, std::int64_t seconds, std::int64_t nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::string EtagOf(std::uint64_t size) {
    char text[64];
    std::snprintf(text, sizeof text, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(FileTimeFromUnix(kSeconds, kNanoseconds)));
    return text;
}

// Items of a listing by name, each serialized compactly.
std::map<std::string, std::string> ItemsByName(const JsonValue& listing) {
    std::map<std::string, std::string> items;
    for (const JsonValue& item : listing.Get("items").AsArray())
        items[item.Get("name").AsString()] = SerializeJson(item, false);
    return items;
}

class FileRoutes : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_docs = Files() / "docs";
        std::filesystem::create_directories(m_docs / "sub");
        std::filesystem::create_directories(Files() / "outside");
        WriteFile("outside/secret.txt", "secret");
        WriteFile("docs/ten.txt", "0123456789");
        WriteFile("docs/empty.bin", "");
        SetTime(m_docs / "ten.txt", kSeconds, kNanoseconds);
        m_config.shares.push_back(MakeShare("00000000000000d1", u"docs", m_docs));
        Apply(m_config);
    }

    std::filesystem::path m_docs;
    Config m_config;
};

TEST_F(FileRoutes, ShareListShowsWhatEachVisitorCanOpen) {
    WriteFile("single/.report.txt", "r");
    m_config.shares.push_back(
        MakeShare("00000000000000d2", u"pw", m_docs, AccessFlags::Read, TestHash("sesame")));
    m_config.shares.push_back(
        MakeShare("00000000000000d3", u"staff", m_docs, AccessFlags::None, TestHash("sesame")));
    m_config.shares.push_back(MakeShare("00000000000000d4", u"private", m_docs, AccessFlags::None));
    m_config.shares.push_back(
        MakeShare("00000000000000d5", u"report", Files() / "single" / ".report.txt"));
    m_config.shares.back().file = true;
    m_config.shares.back().readOnly = true;
    m_config.shares.push_back(MakeShare("00000000000000d6", u"gone", Files() / "missing"));
    m_config.accounts.push_back(
        MakeAccount(u"alice", "a",
                    {{"00000000000000d4", AccessFlags::Read | AccessFlags::Delete},
                     {"00000000000000d1", AccessFlags::Write}}));
    Apply(m_config);

    EXPECT_EQ(Get("/api/shares").body,
              R"({"shares":[{"name":"docs","permissions":["read"],"locked":false},)"
              R"({"name":"pw","permissions":[],"locked":true},)"
              R"({"name":"report","permissions":["read"],"locked":false,"file":true},)"
              R"({"name":"gone","permissions":["read"],"locked":false}]})");

    const std::string unlocked =
        SessionCookieOf(Post("/api/unlock", R"({"share":"pw","password":"sesame"})"));
    const ClientResponse afterUnlock = Get("/api/shares", unlocked);
    EXPECT_EQ(afterUnlock.Header("content-type"), "application/json; charset=utf-8");
    EXPECT_EQ(afterUnlock.Header("cache-control"), "no-store");
    EXPECT_EQ(afterUnlock.body,
              R"({"shares":[{"name":"docs","permissions":["read"],"locked":false},)"
              R"({"name":"pw","permissions":["read"],"locked":false},)"
              R"({"name":"report","permissions":["read"],"locked":false,"file":true},)"
              R"({"name":"gone","permissions":["read"],"locked":false}]})");

    const std::string alice = SignIn("alice", "a");
    EXPECT_EQ(Get("/api/shares", alice).body,
              R"({"shares":[{"name":"docs","permissions":["read","write"],"locked":false},)"
              R"({"name":"pw","permissions":[],"locked":true},)"
              R"({"name":"private","permissions":["read","delete"],"locked":false},)"
              R"({"name":"report","permissions":["read"],"locked":false,"file":true},)"
              R"({"name":"gone","permissions":["read"],"locked":false}]})");

    // The missing folder is listed, and fails only when opened.
    EXPECT_EQ(Get("/api/list?share=gone").body, R"({"error":"shareMissing"})");
}

TEST_F(FileRoutes, ListingLeavesOutWhatVisitorsCannotReach) {
    WriteFile("docs/Photo.JPG", "jpeg");
    WriteFile("docs/movie.mkv", "mkv");
    WriteFile("docs/noext", "x");
    WriteFile("docs/.hidden", "h");
    WriteFile("docs/.vcsupload-0123456789abcdef", "partial");
    WriteFile("docs/.VCSUPLOAD-x", "partial");
    WriteFile("docs/sub/inner.txt", "inner");
    WriteFile("docs/old.txt", "old");
    SetTime(m_docs / "old.txt", -86400, 0);
    SetTime(m_docs / "sub", kSeconds, kNanoseconds);
    std::filesystem::create_symlink(Files() / "outside", m_docs / "out-dir");
    std::filesystem::create_symlink(Files() / "outside" / "secret.txt", m_docs / "out-file");
    std::filesystem::create_symlink("ten.txt", m_docs / "in-link");
    std::filesystem::create_symlink("nothing-here", m_docs / "dangling");
    std::filesystem::create_symlink(".hidden", m_docs / "to-hidden");
    ASSERT_EQ(::mkfifo((m_docs / "fifo").c_str(), 0600), 0);
    WriteFile("docs/bad\xff.txt", "not UTF-8");
    WriteFile("docs/aux.txt", "device name");
    WriteFile("docs/trailing.", "trailing dot");

    const ClientResponse reply = Get("/api/list?share=DOCS");
    ASSERT_EQ(reply.status, 200) << reply.body;
    const JsonValue listing = Json(reply);
    EXPECT_EQ(listing.Get("share").AsString(), "docs");
    EXPECT_EQ(listing.Get("path").AsString(), "");
    EXPECT_EQ(SerializeJson(listing.Get("permissions"), false), R"(["read"])");

    const std::string modified = std::to_string(kSeconds * 1000 + 500);
    const std::map<std::string, std::string> expected = {
        {"ten.txt", R"({"name":"ten.txt","dir":false,"size":10,"modified":)" + modified +
                        R"(,"kind":"text","inline":true})"},
        {"in-link", R"({"name":"in-link","dir":false,"size":10,"modified":)" + modified +
                        R"(,"kind":"other","inline":false})"},
        {"empty.bin", ""},
        {"Photo.JPG", ""},
        {"movie.mkv", ""},
        {"noext", ""},
        // Names other systems refuse are ordinary here.
        {"aux.txt", ""},
        {"trailing.", ""},
        {"old.txt", ""},
        {"sub", R"({"name":"sub","dir":true,"size":0,"modified":)" + modified + "}"},
    };
    const auto items = ItemsByName(listing);
    std::vector<std::string> names;
    for (const auto& [name, json] : items)
        names.push_back(name);
    std::vector<std::string> expectedNames;
    for (const auto& [name, json] : expected)
        expectedNames.push_back(name);
    EXPECT_EQ(names, expectedNames);
    for (const auto& [name, json] : expected) {
        if (!json.empty()) {
            EXPECT_EQ(items.at(name), json);
        }
    }
    EXPECT_NE(items.at("Photo.JPG").find(R"("kind":"image","inline":true)"), std::string::npos);
    EXPECT_NE(items.at("movie.mkv").find(R"("kind":"video","inline":false)"), std::string::npos);
    EXPECT_NE(items.at("noext").find(R"("kind":"other","inline":false)"), std::string::npos);
    EXPECT_NE(items.at("old.txt").find(R"("modified":0,)"), std::string::npos);

    // With hidden files shown, the hidden ones join, but never unfinished uploads.
    m_config.showHidden = true;
    Apply(m_config);
    const auto shown = ItemsByName(Json(Get("/api/list?share=docs")));
    EXPECT_TRUE(shown.contains(".hidden"));
    EXPECT_TRUE(shown.contains("to-hidden"));
    EXPECT_FALSE(shown.contains(".vcsupload-0123456789abcdef"));
    EXPECT_FALSE(shown.contains(".VCSUPLOAD-x"));
    EXPECT_FALSE(shown.contains("out-dir"));
    EXPECT_EQ(shown.size(), expected.size() + 2);
}

TEST_F(FileRoutes, ListingAFolderPath) {
    WriteFile("docs/sub/inner.txt", "inner");
    WriteFile("docs/.private/inner.txt", "inner");
    std::filesystem::create_symlink(Files() / "outside", m_docs / "out-dir");

    const JsonValue listing = Json(Get("/api/list?share=docs&path=%2Fsub%2F"));
    EXPECT_EQ(listing.Get("path").AsString(), "sub");
    EXPECT_EQ(ItemsByName(listing).size(), 1u);
    EXPECT_TRUE(ItemsByName(listing).contains("inner.txt"));

    const struct {
        std::string_view query;
        int status;
        std::string_view body;
    } cases[] = {
        {"share=docs&path=ten.txt", 404, R"({"error":"notFound"})"},
        {"share=docs&path=nothing", 404, R"({"error":"notFound"})"},
        {"share=docs&path=out-dir", 404, R"({"error":"notFound"})"},
        {"share=docs&path=.private", 404, R"({"error":"notFound"})"},
        {"share=docs&path=..", 400, R"({"error":"badPath"})"},
        {"share=nothing", 404, R"({"error":"notFound"})"},
        {"", 404, R"({"error":"notFound"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const ClientResponse reply = Get("/api/list?" + std::string(c.query));
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.body);
    }
    m_config.showHidden = true;
    Apply(m_config);
    EXPECT_EQ(Get("/api/list?share=docs&path=.private").status, 200);
}

TEST_F(FileRoutes, ASingleFileShareListsAndServesItsOneFileEvenWhenHidden) {
    WriteFile("single/.Report.txt", "report");
    SetTime(Files() / "single" / ".Report.txt", kSeconds, kNanoseconds);
    Share share = MakeShare("00000000000000d7", u"report", Files() / "single" / ".Report.txt");
    share.file = true;
    share.readOnly = true;
    m_config.shares.push_back(share);
    Apply(m_config);

    const ClientResponse listing = Get("/api/list?share=report");
    ASSERT_EQ(listing.status, 200);
    EXPECT_EQ(listing.body, R"({"share":"report","path":"","permissions":["read"],"items":[)"
                            R"({"name":".Report.txt","dir":false,"size":6,"modified":)" +
                                std::to_string(kSeconds * 1000 + 500) +
                                R"(,"kind":"text","inline":true}]})");
    EXPECT_EQ(Get("/api/list?share=report&path=.Report.txt").body, R"({"error":"notFound"})");

    EXPECT_EQ(Get("/files/report/.Report.txt").body, "report");
    EXPECT_EQ(Get("/files/report/.report.TXT").body, "report");
    EXPECT_EQ(Get("/files/report/other.txt").body, R"({"error":"notFound"})");
    EXPECT_EQ(Get("/files/report").body, R"({"error":"isFolder"})");
    EXPECT_EQ(Get("/files/report/").body, R"({"error":"isFolder"})");
}

TEST_F(FileRoutes, DownloadCarriesValidatorsAndTheSandboxPolicy) {
    const ClientResponse reply = Get("/files/docs/ten.txt");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "0123456789");
    const std::vector<std::pair<std::string, std::string>> leading = {
        {"content-type", "text/plain; charset=utf-8"},
        {"content-disposition", R"(attachment; filename="ten.txt"; filename*=UTF-8''ten.txt)"},
        {"content-security-policy", "sandbox; default-src 'none'; img-src 'self' data:; "
                                    "media-src 'self'; style-src 'unsafe-inline'"},
        {"etag", EtagOf(10)},
        {"last-modified", std::string(kDate)},
        {"accept-ranges", "bytes"},
        {"cache-control", "private, no-cache"},
    };
    ASSERT_GE(reply.headers.size(), leading.size());
    EXPECT_EQ(std::vector(reply.headers.begin(), reply.headers.begin() + 7), leading);
    EXPECT_EQ(reply.Header("content-length"), "10");
    EXPECT_FALSE(reply.HasHeader("content-range"));

    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].action, "download");
    EXPECT_EQ(log[0].detail, u"/docs/ten.txt");
    EXPECT_EQ(log[0].result, 200);
    EXPECT_EQ(log[0].size, 10u);
    EXPECT_EQ(log[0].user, u"");
}

TEST_F(FileRoutes, RangesAndConditionsOnATenByteFile) {
    const std::string etag = EtagOf(10);
    struct Case {
        std::vector<std::string> headers;
        int status;
        std::string_view body;
        std::string_view contentRange; // empty: no Content-Range header
    };
    const Case cases[] = {
        {{"Range: bytes=0-"}, 206, "0123456789", "bytes 0-9/10"},
        {{"Range: bytes=-5"}, 206, "56789", "bytes 5-9/10"},
        {{"Range: bytes=2-4"}, 206, "234", "bytes 2-4/10"},
        {{"Range: bytes=9-100"}, 206, "9", "bytes 9-9/10"},
        {{"Range: bytes=-20"}, 206, "0123456789", "bytes 0-9/10"},
        {{"Range: bytes=20-"}, 416, "", "bytes */10"},
        {{"Range: bytes=10-"}, 416, "", "bytes */10"},
        {{"Range: bytes=-0"}, 416, "", "bytes */10"},
        {{"Range: bytes=0-1,3-4"}, 200, "0123456789", ""},
        {{"Range: bytes=5-1"}, 200, "0123456789", ""},
        {{"Range: Bytes=0-1"}, 200, "0123456789", ""},
        {{"Range: items=0-1"}, 200, "0123456789", ""},
        {{"Range: bytes=2-4", "If-Range: " + etag}, 206, "234", "bytes 2-4/10"},
        {{"Range: bytes=2-4", "If-Range: " + std::string(kDate)}, 200, "0123456789", ""},
        {{"Range: bytes=2-4", "If-Range: \"other\""}, 200, "0123456789", ""},
        {{"Range: bytes=2-4", "If-Range: W/" + etag}, 200, "0123456789", ""},
        {{"If-None-Match: " + etag}, 304, "", ""},
        {{"If-None-Match: W/" + etag}, 304, "", ""},
        {{"If-None-Match: *"}, 304, "", ""},
        {{"If-None-Match: \"x\", " + etag}, 304, "", ""},
        {{"If-None-Match: \"x\""}, 200, "0123456789", ""},
        {{"If-None-Match: " + etag.substr(1, etag.size() - 2)}, 200, "0123456789", ""},
        {{"If-None-Match: " + etag, "Range: bytes=20-"}, 304, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers[0] + (c.headers.size() > 1 ? " + " + c.headers[1] : ""));
        const ClientResponse reply = Get("/files/docs/ten.txt", {}, c.headers);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.body);
        EXPECT_EQ(reply.Header("content-range"), c.contentRange);
        EXPECT_EQ(reply.Header("etag"), etag);
        if (c.status == 304) {
            EXPECT_FALSE(reply.HasHeader("content-length"));
        } else {
            EXPECT_EQ(reply.Header("content-length"), std::to_string(c.body.size()));
        }
    }

    // Only transfers that start at the first byte are recorded.
    std::size_t fromStart = 0;
    for (const AccessLogEntry& entry : LogEntries()) {
        EXPECT_EQ(entry.action, "download");
        EXPECT_TRUE(entry.result == 200 || entry.result == 206);
        EXPECT_EQ(entry.size, 10u);
        ++fromStart;
    }
    // 200 replies (9) and the ranges from byte 0 (bytes=0-, bytes=-20).
    EXPECT_EQ(fromStart, 11u);
}

TEST_F(FileRoutes, AnEmptyFileHasNoSatisfiableRange) {
    for (const std::string_view range : {"", "bytes=0-", "bytes=-1", "bytes=0-0"}) {
        SCOPED_TRACE(range);
        std::vector<std::string> headers;
        if (!range.empty())
            headers.push_back("Range: " + std::string(range));
        const ClientResponse reply = Get("/files/docs/empty.bin", {}, headers);
        EXPECT_EQ(reply.status, range.empty() ? 200 : 416);
        EXPECT_EQ(reply.Header("content-length"), "0");
        EXPECT_EQ(reply.Header("content-range"), range.empty() ? "" : "bytes */0");
        EXPECT_EQ(reply.body, "");
    }
}

TEST_F(FileRoutes, HeadSendsTheHeadersOfGetAndNoBody) {
    for (const std::vector<std::string>& headers :
         {std::vector<std::string>{}, std::vector<std::string>{"Range: bytes=3-5"}}) {
        SCOPED_TRACE(headers.empty() ? std::string("no range") : headers.front());
        const ClientResponse get = Get("/files/docs/ten.txt", {}, headers);
        HttpClient client(Port());
        auto head = client.Request("HEAD", "/files/docs/ten.txt", headers);
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, get.status);
        EXPECT_EQ(head->headers, get.headers);
        EXPECT_EQ(head->body, "");
        // The connection stays usable: no body bytes are waiting in it.
        auto next = client.Request("GET", "/files/docs/ten.txt");
        ASSERT_TRUE(next);
        EXPECT_EQ(next->body, "0123456789");
    }
    // Two GETs from byte 0 and the GET after the HEAD; no HEAD.
    const auto log = LogEntries();
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(FileRoutes, InlineOnlyForTypesABrowserShowsSafely) {
    const struct {
        std::string_view name;
        std::string_view query;
        std::string_view type;
        std::string_view word;
    } cases[] = {
        {"a.txt", "?view=1", "text/plain; charset=utf-8", "inline"},
        {"clip.mp4", "?view=1", "video/mp4", "inline"},
        {"song.MP3", "?x=2&view=1", "audio/mpeg", "inline"},
        {"page.html", "?view=1", "text/html", "attachment"},
        {"pic.svg", "?view=1", "image/svg+xml", "attachment"},
        {"noext", "?view=1", "application/octet-stream", "attachment"},
        {"a.txt", "", "text/plain; charset=utf-8", "attachment"},
        {"a.txt", "?view=true", "text/plain; charset=utf-8", "attachment"},
        {"a.txt", "?view=01", "text/plain; charset=utf-8", "attachment"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + std::string(c.query));
        WriteFile("docs/" + std::string(c.name), "content");
        const ClientResponse reply =
            Get("/files/docs/" + std::string(c.name) + std::string(c.query));
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.Header("content-type"), c.type);
        EXPECT_TRUE(reply.Header("content-disposition").starts_with(std::string(c.word) + ";"));
        EXPECT_TRUE(reply.Header("content-security-policy").starts_with("sandbox;"));
    }
}

TEST_F(FileRoutes, AKoreanNameGetsAnAsciiFallbackAndTheUtf8Form) {
    WriteFile("docs/보고서.txt", "report");
    const ClientResponse reply = Get("/files/docs/%EB%B3%B4%EA%B3%A0%EC%84%9C.txt");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "report");
    EXPECT_EQ(reply.Header("content-disposition"),
              "attachment; filename=\"___.txt\"; "
              "filename*=UTF-8''%EB%B3%B4%EA%B3%A0%EC%84%9C.txt");
    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].detail, u"/docs/보고서.txt");
}

TEST_F(FileRoutes, DownloadsReachOnlyVisibleFilesInsideTheShare) {
    WriteFile("docs/sub/inner.txt", "inner");
    WriteFile("docs/.hidden.txt", "hidden");
    WriteFile("docs/.vcsupload-0123456789abcdef", "partial");
    std::filesystem::create_symlink(Files() / "outside", m_docs / "out-dir");
    std::filesystem::create_symlink(Files() / "outside" / "secret.txt", m_docs / "out-file");
    std::filesystem::create_symlink("ten.txt", m_docs / "in-link");
    ASSERT_EQ(::mkfifo((m_docs / "fifo").c_str(), 0600), 0);

    const struct {
        std::string_view target;
        int status;
        std::string_view body;
    } cases[] = {
        {"/files/docs/sub/inner.txt", 200, "inner"},
        {"/files/docs/in-link", 200, "0123456789"},
        {"/files/docs", 404, R"({"error":"isFolder"})"},
        {"/files/docs/", 404, R"({"error":"isFolder"})"},
        {"/files/docs/sub", 404, R"({"error":"isFolder"})"},
        {"/files/docs/sub/", 404, R"({"error":"isFolder"})"},
        {"/files/docs/missing.txt", 404, R"({"error":"notFound"})"},
        {"/files/docs/TEN.TXT", 404, R"({"error":"notFound"})"},
        {"/files/docs/out-file", 404, R"({"error":"notFound"})"},
        {"/files/docs/out-dir/secret.txt", 404, R"({"error":"notFound"})"},
        {"/files/docs/.hidden.txt", 404, R"({"error":"notFound"})"},
        {"/files/docs/.vcsupload-0123456789abcdef", 404, R"({"error":"notFound"})"},
        {"/files/docs/fifo", 404, R"({"error":"notFound"})"},
        {"/files/docs/../outside/secret.txt", 400, R"({"error":"badPath"})"},
        {"/files/docs/sub//inner.txt", 400, R"({"error":"badPath"})"},
        {"/files/nothing/ten.txt", 404, R"({"error":"notFound"})"},
        {"/files/", 404, R"({"error":"notFound"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const ClientResponse reply = Get(c.target);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.body);
    }

    m_config.showHidden = true;
    Apply(m_config);
    EXPECT_EQ(Get("/files/docs/.hidden.txt").body, "hidden");
    EXPECT_EQ(Get("/files/docs/.vcsupload-0123456789abcdef").status, 404);
    EXPECT_EQ(Get("/files/docs/out-file").status, 404);
}

TEST_F(FileRoutes, LargeFilesArriveIntactWholeAndInRanges) {
    std::string bytes(5 * 1024 * 1024 + 123, '\0');
    std::mt19937 random(42);
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    WriteFile("docs/big.bin", bytes);

    {
        HttpClient client(Port());
        auto whole = client.Request("GET", "/files/docs/big.bin");
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->status, 200);
        EXPECT_TRUE(whole->body == bytes);
        auto middle =
            client.Request("GET", "/files/docs/big.bin", {"Range: bytes=1000000-3999999"});
        ASSERT_TRUE(middle);
        EXPECT_EQ(middle->status, 206);
        EXPECT_TRUE(middle->body == bytes.substr(1'000'000, 3'000'000));
        auto tail = client.Request("GET", "/files/docs/big.bin", {"Range: bytes=-77"});
        ASSERT_TRUE(tail);
        EXPECT_TRUE(tail->body == bytes.substr(bytes.size() - 77));
    }

    const auto log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].size, bytes.size());
}

} // namespace
} // namespace Velto::Corvane::Testing
