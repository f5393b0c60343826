// Share links through the real server: visits of /s/<token>, the gate of
// ":<id>" share names on every route, drop boxes, passwords, and the API that
// makes and revokes links.
#include "base/utf.h"
#include "config/share_link.h"
#include "tests/webapp/web_app_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::string_view kSecret = "SECRET-BESIDE-THE-TARGET";
constexpr std::string_view kOutside = "OUTSIDE-THE-SHARE";
constexpr std::string_view kInside = "INSIDE-THE-ALBUM";
constexpr std::string_view kInvalidEnglish = "This link is no longer valid.";
constexpr std::string_view kInvalidKorean = "이 링크는 더 이상 유효하지 않습니다.";
constexpr std::uint64_t kHourMs = 3'600'000;

std::string Base64(std::string_view bytes) {
    static constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int held = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += kDigits[(bits >> held) & 63u];
        }
    }
    if (held > 0)
        out += kDigits[(bits << (6 - held)) & 63u];
    while (out.size() % 4 != 0)
        out += '=';
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == ':')
            out += "%3A";
        else
            out += c;
    }
    return out;
}

// A share "docs" (no guest access) holding an album, a file beside it, and
// two symbolic links out of the album; a file outside the share. "ann" may do
// everything in it, "bob" may only read.
class ShareLinks : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        WriteFile("docs/album/a.txt", kInside);
        WriteFile("docs/album/sub/b.txt", "b");
        WriteFile("docs/secret.txt", kSecret);
        WriteFile("outside.txt", kOutside);
        std::filesystem::create_symlink("../secret.txt", Files() / "docs/album/beside");
        std::filesystem::create_symlink(Files() / "outside.txt", Files() / "docs/album/out");
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        Config config;
        config.shares.push_back(
            MakeShare("00000000000000d1", u"docs", Files() / "docs", AccessFlags::None));
        config.accounts.push_back(MakeAccount(u"ann", "ann-pw", {{"00000000000000d1", all}}));
        config.accounts.push_back(
            MakeAccount(u"bob", "bob-pw", {{"00000000000000d1", AccessFlags::Read}}));
        Apply(config);
        ASSERT_TRUE(App().OpenUploadState((Root() / "data" / "uploads").string()));
        m_ann = SignIn("ann", "ann-pw");
    }

    // Makes a link as `cookie`'s account; the reply.
    ClientResponse Make(std::string_view path, std::string_view mode,
                        std::string_view expiry = "never", std::string_view cookie = {},
                        std::string_view label = "") {
        JsonValue body = JsonValue::MakeObject();
        body.Set("share", JsonValue("docs"));
        body.Set("path", JsonValue(std::string(path)));
        body.Set("mode", JsonValue(std::string(mode)));
        body.Set("expiry", JsonValue(std::string(expiry)));
        body.Set("label", JsonValue(std::string(label)));
        return Post("/api/links", SerializeJson(body, false), cookie.empty() ? m_ann : cookie);
    }

    struct Made {
        std::string id;
        std::string token;
    };
    Made MakeOk(std::string_view path, std::string_view mode, std::string_view expiry = "never",
                std::string_view label = "") {
        const ClientResponse reply = Make(path, mode, expiry, {}, label);
        EXPECT_EQ(reply.status, 201) << reply.body;
        const JsonValue link = Json(reply);
        const std::string& url = link.Get("url").AsString();
        EXPECT_TRUE(url.starts_with("/s/")) << url;
        return {link.Get("id").AsString(), url.size() > 3 ? url.substr(3) : std::string()};
    }

    // Opens the link in a new visitor session; the session cookie.
    std::string Visit(const Made& link) {
        const ClientResponse reply = Get("/s/" + link.token);
        EXPECT_EQ(reply.status, 200) << reply.body;
        EXPECT_NE(reply.body.find("<html"), std::string::npos);
        return SessionCookieOf(reply);
    }

    static std::string Share(const Made& link) { return ":" + link.id; }

    std::string m_ann;
};

TEST_F(ShareLinks, AViewLinkIsItsTargetAsAShareOfItsOwnForTheSessionThatOpenedIt) {
    const Made link = MakeOk("album", "view", "never", "For Carol");
    ASSERT_TRUE(IsWellFormedLinkToken(link.token));
    const std::string visitor = Visit(link);
    ASSERT_EQ(visitor.size(), 64u);

    const JsonValue session = Json(Get("/api/session", visitor));
    const JsonValue& member = session.Get("link");
    EXPECT_EQ(member.Get("id").AsString(), link.id);
    EXPECT_EQ(member.Get("share").AsString(), Share(link));
    EXPECT_EQ(member.Get("name").AsString(), "For Carol");
    EXPECT_EQ(member.Get("mode").AsString(), "view");
    EXPECT_FALSE(member.Get("file").GetBool(true));
    EXPECT_FALSE(member.Get("locked").GetBool(true));
    EXPECT_EQ(member.Get("expires").AsNumber(), 0);

    const ClientResponse listing =
        Get("/api/list?share=" + Escaped(Share(link)) + "&path=", visitor);
    ASSERT_EQ(listing.status, 200) << listing.body;
    EXPECT_EQ(Json(listing).Get("share").AsString(), Share(link));
    EXPECT_NE(listing.body.find("\"a.txt\""), std::string::npos);
    EXPECT_NE(listing.body.find("\"sub\""), std::string::npos);
    EXPECT_EQ(listing.body.find("secret"), std::string::npos);
    const ClientResponse file = Get("/files/" + Escaped(Share(link)) + "/a.txt", visitor);
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.body, kInside);

    // An archive of the root is named after the target, and made through the link.
    const ClientResponse zip =
        Post("/api/zip", R"({"share":")" + Share(link) + R"(","path":"","names":["a.txt","sub"]})",
             visitor);
    ASSERT_EQ(zip.status, 200) << zip.body;
    const ClientResponse archive = Get(Json(zip).Get("url").AsString(), visitor);
    EXPECT_EQ(archive.status, 200);
    EXPECT_NE(archive.Header("content-disposition").find("album.zip"), std::string::npos);
    EXPECT_NE(archive.body.find("sub/b.txt"), std::string::npos);

    // Without having opened the link, the name means nothing: not to a
    // stranger, nor to the creator.
    for (const std::string& other : {std::string(), m_ann})
        EXPECT_EQ(Get("/files/" + Escaped(Share(link)) + "/a.txt", other).status, 404);

    // Each visit counts; the log names the link by its label, never its token.
    Visit(link);
    const JsonValue mine = Json(Get("/api/links", m_ann));
    ASSERT_EQ(mine.Get("links").AsArray().size(), 1u);
    EXPECT_EQ(mine.Get("links").AsArray()[0].Get("uses").AsNumber(), 2);
    // The counts reach the configuration once a minute has passed, once.
    EXPECT_EQ(App().CurrentConfig()->links.front().uses, 0u);
    Advance(LinkUseCounter::kWriteIntervalMs);
    const JsonValue later = Json(Get("/api/links", m_ann));
    EXPECT_EQ(App().CurrentConfig()->links.front().uses, 2u);
    EXPECT_EQ(later.Get("links").AsArray()[0].Get("uses").AsNumber(), 2);
    std::size_t opened = 0;
    for (const AccessLogEntry& entry : LogEntries()) {
        EXPECT_EQ(Utf16ToUtf8(entry.detail).find(link.token), std::string::npos);
        if (entry.action == "openLink") {
            ++opened;
            EXPECT_EQ(entry.detail, u"For Carol (/docs/album)");
        }
    }
    EXPECT_EQ(opened, 2u);
}

// Every route that takes a share name, pointed above the target or out of
// the share: nothing beside the album or outside the share comes back, and
// nothing is made there.
TEST_F(ShareLinks, NoRouteEscapesTheTarget) {
    const Made view = MakeOk("album", "view");
    const Made drop = MakeOk("album", "upload");
    const std::string visitor = Visit(view);
    ASSERT_EQ(Get("/s/" + drop.token, visitor).status, 200);
    const std::string v = Escaped(Share(view));
    const std::string d = Escaped(Share(drop));
    const std::string vj = Share(view);
    const std::string dj = Share(drop);

    struct Case {
        std::string method;
        std::string target;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"GET", "/files/" + v + "/../secret.txt", ""},
        {"GET", "/files/" + v + "/%2e%2e/secret.txt", ""},
        {"GET", "/files/" + v + "/%2E%2E%2Fsecret.txt", ""},
        {"GET", "/files/" + v + "/sub/..%2F..%2Fsecret.txt", ""},
        {"GET", "/files/" + v + "/beside", ""},
        {"GET", "/files/" + v + "/out", ""},
        {"GET", "/files/docs/secret.txt", ""},
        {"GET", "/files/" + v + "%2F..%2Fsecret.txt", ""},
        {"GET", "/api/list?share=" + v + "&path=..", ""},
        {"GET", "/api/list?share=" + v + "&path=%2e%2e", ""},
        {"GET", "/api/list?share=docs&path=", ""},
        {"GET", "/api/thumb?share=" + v + "&path=../secret.txt&size=256", ""},
        {"GET", "/api/thumb?share=" + v + "&path=beside&size=256", ""},
        {"GET", "/api/search?share=" + v + "&path=..&q=secret", ""},
        {"GET", "/api/search?share=docs&path=&q=secret", ""},
        {"POST", "/api/zip", R"({"share":")" + vj + R"(","path":"..","names":["secret.txt"]})"},
        {"POST", "/api/zip", R"({"share":")" + vj + R"(","path":"","items":["../secret.txt"]})"},
        {"POST", "/api/zip", R"({"share":"docs","path":"","names":["secret.txt"]})"},
        {"PUT", "/files/" + d + "/../escaped.txt", "x"},
        {"PUT", "/files/" + d + "/%2e%2e/escaped.txt", "x"},
        {"PUT", "/files/docs/escaped.txt", "x"},
        {"POST", "/api/mkdir", R"({"share":")" + dj + R"(","path":"../escaped"})"},
        {"POST", "/api/mkdir", R"({"share":"docs","path":"escaped"})"},
        {"POST", "/api/rename",
         R"({"share":")" + vj + R"(","path":"../secret.txt","newName":"x"})"},
        {"POST", "/api/delete", R"({"share":")" + vj + R"(","paths":["../secret.txt"]})"},
        {"GET", "/dav/" + v + "/a.txt", ""},
    };
    for (const Case& c : cases) {
        const ClientResponse reply = Send(c.method, c.target, visitor, c.body);
        const bool refused = reply.status >= 400;
        // A search that answers searches the album only.
        const bool emptySearch = c.target.starts_with("/api/search?share=" + v) &&
                                 reply.status == 200 &&
                                 reply.body.find("secret") == std::string::npos;
        EXPECT_TRUE(refused || emptySearch)
            << c.method << " " << c.target << " -> " << reply.status;
        EXPECT_EQ(reply.body.find(kSecret), std::string::npos) << c.target;
        EXPECT_EQ(reply.body.find(kOutside), std::string::npos) << c.target;
    }
    const ClientResponse search = Get("/api/search?share=" + v + "&path=&q=secret", visitor);
    EXPECT_EQ(search.status, 200);
    EXPECT_EQ(search.body.find("secret.txt"), std::string::npos) << search.body;
    EXPECT_FALSE(std::filesystem::exists(Files() / "docs/escaped.txt"));
    EXPECT_FALSE(std::filesystem::exists(Files() / "escaped.txt"));
    EXPECT_FALSE(std::filesystem::exists(Files() / "docs/escaped"));
    EXPECT_EQ(std::filesystem::file_size(Files() / "outside.txt"), kOutside.size());
    EXPECT_TRUE(std::filesystem::exists(Files() / "docs/secret.txt"));
}

TEST_F(ShareLinks, ADropBoxTakesNumberedUploadsAndShowsNothing) {
    const Made drop = MakeOk("album", "upload");
    const std::string visitor = Visit(drop);
    const std::string d = Escaped(Share(drop));
    const std::string dj = Share(drop);
    EXPECT_EQ(Json(Get("/api/session", visitor)).Get("link").Get("mode").AsString(), "upload");

    struct Case {
        std::string method;
        std::string target;
        std::string body;
    };
    const std::vector<Case> refused = {
        {"GET", "/api/list?share=" + d + "&path=", ""},
        {"GET", "/api/list?share=" + d + "&path=sub", ""},
        {"GET", "/files/" + d + "/a.txt", ""},
        {"GET", "/files/" + d + "/a.txt?view=1", ""},
        {"POST", "/api/zip", R"({"share":")" + dj + R"(","path":"","names":["a.txt"]})"},
        {"GET", "/api/thumb?share=" + d + "&path=a.txt&size=256", ""},
        {"GET", "/api/search?share=" + d + "&path=&q=a", ""},
        {"POST", "/api/rename", R"({"share":")" + dj + R"(","path":"a.txt","newName":"z.txt"})"},
        {"POST", "/api/delete", R"({"share":")" + dj + R"(","paths":["a.txt"]})"},
        {"PUT", "/files/" + d + "/a.txt?overwrite=1", "replaced"},
    };
    for (const Case& c : refused) {
        const ClientResponse reply = Send(c.method, c.target, visitor, c.body);
        EXPECT_EQ(reply.status, 403) << c.method << " " << c.target << ": " << reply.body;
        EXPECT_EQ(reply.body.find(kInside), std::string::npos) << c.target;
    }

    // Uploads never replace: a taken name gets the next number, by PUT and by tus.
    for (const std::string_view expected : {"a (2).txt", "a (3).txt"}) {
        const ClientResponse put = Send("PUT", "/files/" + d + "/a.txt", visitor, "new");
        ASSERT_EQ(put.status, 201) << put.body;
        EXPECT_EQ(Json(put).Get("name").AsString(), expected);
    }
    const std::string cookies = "Cookie: vcs=" + visitor + "; vcu=" + std::string(32, 'a');
    const ClientResponse created =
        Send("POST", "/api/uploads/", {}, {},
             {cookies, "Tus-Resumable: 1.0.0", "x-veltocorvane: 1", "Upload-Length: 3",
              "Upload-Metadata: share " + Base64(dj) + ",filename " + Base64("a.txt")});
    ASSERT_EQ(created.status, 201) << created.body;
    const ClientResponse patched =
        Send("PATCH", created.Header("location"), {}, "tus",
             {cookies, "Tus-Resumable: 1.0.0", "x-veltocorvane: 1", "Upload-Offset: 0",
              "Content-Type: application/offset+octet-stream"});
    EXPECT_EQ(patched.status, 204) << patched.body;
    EXPECT_TRUE(std::filesystem::exists(Files() / "docs/album/a (4).txt"));
    // A folder's upload makes its folders.
    EXPECT_EQ(Post("/api/mkdir", R"({"share":")" + dj + R"(","path":"new/deeper","parents":true})",
                   visitor)
                  .status,
              201);
    EXPECT_EQ(Send("PUT", "/files/" + d + "/new/deeper/c.txt", visitor, "c").status, 201);

    EXPECT_EQ(std::filesystem::file_size(Files() / "docs/album/a.txt"), kInside.size());
    EXPECT_TRUE(std::filesystem::exists(Files() / "docs/album/new/deeper/c.txt"));
}

// Every way a link stops working answers the visit with the 404 page, and
// ends what a session that opened it earlier could do.
TEST_F(ShareLinks, ExpiredRevokedAndBrokenLinksAnswerTheNotValidPage) {
    struct Case {
        std::string name;
        std::function<void(const Made&)> breakIt;
    };
    const auto editConfig = [this](const std::function<void(Config&)>& edit) {
        Config config = *App().CurrentConfig();
        edit(config);
        Apply(config);
    };
    const std::vector<Case> cases = {
        {"expired", [this](const Made&) { Advance(kHourMs + 1000); }},
        {"revoked",
         [this](const Made& link) {
             EXPECT_EQ(
                 Send("DELETE", "/api/links/" + link.id, m_ann, {}, {"x-veltocorvane: 1"}).status,
                 204);
         }},
        {"creator lost Read",
         [&](const Made&) {
             editConfig([](Config& config) { config.FindAccount(u"ann")->access.clear(); });
         }},
        {"creator deleted",
         [&](const Made&) {
             editConfig([](Config& config) {
                 std::erase_if(config.accounts, [](const Account& a) { return a.name == u"ann"; });
             });
         }},
        {"share removed",
         [&](const Made&) { editConfig([](Config& config) { config.shares.clear(); }); }},
        {"share made read-only (upload link)",
         [&](const Made&) {
             editConfig([](Config& config) { config.shares.front().readOnly = true; });
         }},
        {"target gone",
         [this](const Made&) {
             std::filesystem::rename(Files() / "docs/album", Files() / "docs/moved");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Config before = *App().CurrentConfig();
        m_ann = SignIn("ann", "ann-pw");
        const bool upload = c.name.find("upload") != std::string::npos;
        const Made link = MakeOk("album", upload ? "upload" : "view", "hour");
        const std::string visitor = Visit(link);
        const std::string probe = upload ? "/api/mkdir" : "/api/list?share=" + Escaped(Share(link));
        const auto tryIt = [&] {
            return upload ? Post(probe, R"({"share":")" + Share(link) + R"(","path":"p"})", visitor)
                                .status
                          : Get(probe, visitor).status;
        };
        ASSERT_EQ(tryIt(), upload ? 201 : 200);

        c.breakIt(link);
        const ClientResponse visit = Get("/s/" + link.token);
        EXPECT_EQ(visit.status, 404);
        EXPECT_NE(visit.body.find(kInvalidEnglish), std::string::npos) << visit.body;
        EXPECT_TRUE(SessionCookieOf(visit).empty());
        EXPECT_EQ(tryIt(), 404);
        EXPECT_TRUE(Json(Get("/api/session", visitor)).Get("link").IsNull());

        if (std::filesystem::exists(Files() / "docs/moved"))
            std::filesystem::rename(Files() / "docs/moved", Files() / "docs/album");
        std::filesystem::remove_all(Files() / "docs/album/p");
        Apply(before);
    }

    // The page speaks the visitor's language; a token that is not one never
    // reaches the lookup.
    const ClientResponse korean =
        Get("/s/AAAAAAAAAAAAAAAAAAAAAA", {}, {"Accept-Language: ko-KR,ko;q=0.9,en;q=0.8"});
    EXPECT_EQ(korean.status, 404);
    EXPECT_NE(korean.body.find(kInvalidKorean), std::string::npos) << korean.body;
    EXPECT_NE(korean.body.find("lang=\"ko\""), std::string::npos);
    const ClientResponse english =
        Get("/s/not-a-token", {}, {"Accept-Language: en;q=0.9,ko;q=0.5"});
    EXPECT_EQ(english.status, 404);
    EXPECT_NE(english.body.find(kInvalidEnglish), std::string::npos);
}

// A link made in the window (no creator: the computer's owner) with a
// password, as config.json holds it.
TEST_F(ShareLinks, AWrongLinkPasswordCountsInTheLockOut) {
    std::optional<ShareLink> made =
        NewShareLink("00000000000000d1", u"album", LinkLifetime::Never, App().WallSeconds(0));
    ASSERT_TRUE(made);
    made->password = TestHash("open sesame");
    Config config = *App().CurrentConfig();
    config.links.push_back(*made);
    Apply(config);
    const Made link{made->id, made->token};
    const std::string visitor = Visit(link);
    const std::string listing = "/api/list?share=" + Escaped(Share(link));
    EXPECT_TRUE(Json(Get("/api/session", visitor)).Get("link").Get("locked").GetBool(false));
    EXPECT_EQ(Get(listing, visitor).status, 401);

    const auto unlock = [&](std::string_view password) {
        return Post("/api/unlock",
                    R"({"share":")" + Share(link) + R"(","password":")" + std::string(password) +
                        R"("})",
                    visitor);
    };
    // A share password and a link password draw on one budget of failures.
    int failures = 0;
    ClientResponse reply;
    do {
        reply = unlock("wrong");
        ++failures;
    } while (reply.status == 401 && failures < 10);
    EXPECT_EQ(reply.status, 429);
    EXPECT_EQ(failures, AttemptLimiter::kFreeFailures + 1);
    EXPECT_EQ(unlock("open sesame").status, 429);
    EXPECT_EQ(Post("/api/login", R"({"name":"ann","password":"ann-pw"})").status, 429);

    Advance(AttemptLimiter::kFirstLockMs + 1000);
    EXPECT_EQ(unlock("open sesame").status, 200);
    EXPECT_EQ(Get(listing, visitor).status, 200);
    EXPECT_FALSE(Json(Get("/api/session", visitor)).Get("link").Get("locked").GetBool(true));
    bool logged = false;
    for (const AccessLogEntry& entry : LogEntries())
        logged = logged || (entry.action == "unlockFailed" && entry.detail == u"/docs/album");
    EXPECT_TRUE(logged);
}

TEST_F(ShareLinks, AFileLinkServesThatFileAlone) {
    const Made link = MakeOk("album/a.txt", "view");
    const std::string visitor = Visit(link);
    const JsonValue member = Json(Get("/api/session", visitor)).Get("link");
    EXPECT_TRUE(member.Get("file").GetBool(false));
    EXPECT_EQ(member.Get("name").AsString(), "a.txt");
    const std::string s = Escaped(Share(link));
    const ClientResponse listing = Get("/api/list?share=" + s + "&path=", visitor);
    ASSERT_EQ(listing.status, 200);
    EXPECT_EQ(Json(listing).Get("items").AsArray().size(), 1u);
    const ClientResponse file = Get("/files/" + s + "/a.txt", visitor);
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.body, kInside);
    EXPECT_NE(file.Header("content-disposition").find("attachment"), std::string::npos);
    for (const std::string& other :
         {"/files/" + s + "/b.txt", "/files/" + s + "/../secret.txt", "/files/" + s + "/a.txt/x"})
        EXPECT_GE(Get(other, visitor).status, 400) << other;
}

TEST_F(ShareLinks, TheApiMakesListsAndRevokesOnlyTheCallersOwnLinks) {
    const std::string bob = SignIn("bob", "bob-pw");
    struct Case {
        std::string name;
        ClientResponse reply;
        int status;
        std::string code;
    };
    const std::vector<Case> cases = {
        {"guest", Post("/api/links", R"({"share":"docs","path":"","mode":"view","expiry":"day"})"),
         401, "signIn"},
        {"read-only account asks for a drop box", Make("album", "upload", "day", bob), 403,
         "forbidden"},
        {"drop box on a file", Make("album/a.txt", "upload"), 400, "notFolder"},
        {"no such item", Make("album/none", "view"), 404, "notFound"},
        {"path upward", Make("../docs", "view"), 400, "badPath"},
        {"unknown expiry", Make("album", "view", "year"), 400, "badRequest"},
        {"unknown mode", Make("album", "edit"), 400, "badRequest"},
        {"label too long", Make("album", "view", "day", {}, std::string(101, 'x')), 400,
         "badRequest"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reply.status, c.status) << c.name << ": " << c.reply.body;
        EXPECT_EQ(Json(c.reply).Get("error").AsString(), c.code) << c.name;
    }

    const ClientResponse made = Make("album", "view", "week", {}, std::string(100, 'x'));
    ASSERT_EQ(made.status, 201) << made.body;
    const JsonValue link = Json(made);
    EXPECT_EQ(link.Get("share").AsString(), "docs");
    EXPECT_EQ(link.Get("path").AsString(), "album");
    EXPECT_EQ(link.Get("expires").AsNumber() - link.Get("created").AsNumber(), 7 * 24 * kHourMs);
    EXPECT_FALSE(link.Get("hasPassword").GetBool(true));
    const std::string id = link.Get("id").AsString();
    ASSERT_EQ(Make("album", "view", "day", bob).status, 201);

    EXPECT_EQ(Json(Get("/api/links", m_ann)).Get("links").AsArray().size(), 1u);
    EXPECT_EQ(Json(Get("/api/links", bob)).Get("links").AsArray().size(), 1u);
    EXPECT_EQ(Get("/api/links").status, 401);
    EXPECT_EQ(Send("DELETE", "/api/links/" + id, bob, {}, {"x-veltocorvane: 1"}).status, 404);
    EXPECT_EQ(Send("DELETE", "/api/links/" + id, m_ann).status, 403); // no CSRF header
    EXPECT_EQ(Send("DELETE", "/api/links/" + id, m_ann, {}, {"x-veltocorvane: 1"}).status, 204);
    EXPECT_EQ(Send("DELETE", "/api/links/" + id, m_ann, {}, {"x-veltocorvane: 1"}).status, 404);
    EXPECT_TRUE(Json(Get("/api/links", m_ann)).Get("links").AsArray().empty());
}

} // namespace
} // namespace Velto::Corvane::Testing
