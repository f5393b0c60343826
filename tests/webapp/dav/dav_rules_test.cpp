// The web API's rules as WebDAV clients meet them, through the real server:
// rights and read-only shares, Basic sign-in and the lock-out, hidden and
// temporary names, destinations outside the share, and deletion to the trash.
#include "tests/webapp/web_app_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

std::string Base64(std::string_view text) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < text.size(); i += 3) {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(text[i]) << 16 |
                                                  static_cast<unsigned char>(text[i + 1]) << 8 |
                                                  static_cast<unsigned char>(text[i + 2]));
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += kDigits[n >> 6 & 63];
        out += kDigits[n & 63];
    }
    if (i + 1 == text.size()) {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(text[i]) << 16);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += "==";
    } else if (i + 2 == text.size()) {
        const auto n = static_cast<std::uint32_t>(static_cast<unsigned char>(text[i]) << 16 |
                                                  static_cast<unsigned char>(text[i + 1]) << 8);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += kDigits[n >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string Basic(std::string_view name, std::string_view password) {
    return "Authorization: Basic " + Base64(std::string(name) + ":" + std::string(password));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr std::string_view kDepth1 = "Depth: 1";

class DavRules : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        for (const char* name : {"open", "readonly", "members", "other"})
            std::filesystem::create_directories(Files() / name);
        WriteFile("open/a.txt", "alpha");
        WriteFile("readonly/r.txt", "read me");
        WriteFile("members/m.txt", "members only");
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        Share open = MakeShare("00000000000000a1", u"open", Files() / "open", all);
        Share readOnly = MakeShare("00000000000000a2", u"readonly", Files() / "readonly", all);
        readOnly.readOnly = true;
        Share members =
            MakeShare("00000000000000a3", u"members", Files() / "members", AccessFlags::Read);
        Share other = MakeShare("00000000000000a4", u"other", Files() / "other", AccessFlags::None);
        m_config.upnp = false;
        m_config.shares = {open, readOnly, members, other};
        m_config.accounts = {MakeAccount(u"kim", "right horse",
                                         {{"00000000000000a3", all}, {"00000000000000a4", all}})};
        Apply(m_config);
    }

    Config m_config;
};

TEST_F(DavRules, OptionsAnswerEverywhereWithTheClassesAndMethods) {
    for (const char* target : {"/", "/dav/", "/dav/open/a.txt"}) {
        const ClientResponse reply = Send("OPTIONS", target);
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(reply.Header("DAV"), "1, 2") << target;
        EXPECT_EQ(reply.Header("MS-Author-Via"), "DAV") << target;
        EXPECT_NE(reply.Header("Allow").find("PROPFIND"), std::string::npos) << target;
    }
}

TEST_F(DavRules, ReadOnlyShareRefusesEveryChange) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> requests = {
        {"PUT", {}},       {"DELETE", {}},
        {"MKCOL", {}},     {"MOVE", {"Destination: /dav/readonly/moved.txt"}},
        {"PROPPATCH", {}}, {"LOCK", {}},
    };
    for (const auto& [method, headers] : requests) {
        const std::string target = method == "MKCOL" ? "/dav/readonly/new" : "/dav/readonly/r.txt";
        EXPECT_EQ(Send(method, target, {}, "x", headers, false).status, 403) << method;
    }
    EXPECT_EQ(ReadFile(Files() / "readonly/r.txt"), "read me");
    EXPECT_FALSE(std::filesystem::exists(Files() / "readonly/new"));
    EXPECT_FALSE(std::filesystem::exists(Files() / "readonly/moved.txt"));
    EXPECT_EQ(Get("/dav/readonly/r.txt").body, "read me");
}

TEST_F(DavRules, GuestsAreAskedForCredentialsAndAccountsGetTheirRights) {
    // Guests may read "members" but not write; "other" is closed to them.
    const ClientResponse write = Send("PUT", "/dav/members/new.txt", {}, "x", {}, false);
    EXPECT_EQ(write.status, 401);
    EXPECT_NE(write.Header("WWW-Authenticate").find("Basic realm="), std::string::npos);
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {}, {std::string(kDepth1)}).status, 401);
    EXPECT_EQ(Get("/dav/members/m.txt").body, "members only");

    const std::string kim = Basic("kim", "right horse");
    EXPECT_EQ(Send("PUT", "/dav/members/new.txt", {}, "by kim", {kim}, false).status, 201);
    EXPECT_EQ(ReadFile(Files() / "members/new.txt"), "by kim");
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {}, {kim, std::string(kDepth1)}).status, 207);

    // The share list shows what each visitor may see.
    const ClientResponse guestList = Send("PROPFIND", "/dav/", {}, {}, {std::string(kDepth1)});
    EXPECT_EQ(guestList.status, 207);
    EXPECT_NE(guestList.body.find("<D:href>/dav/open/</D:href>"), std::string::npos);
    EXPECT_EQ(guestList.body.find("/dav/other/"), std::string::npos);
    const ClientResponse kimList = Send("PROPFIND", "/dav/", {}, {}, {kim, std::string(kDepth1)});
    EXPECT_NE(kimList.body.find("<D:href>/dav/other/</D:href>"), std::string::npos);
}

TEST_F(DavRules, TheSessionCookieCountsForNothing) {
    const std::string cookie = SignIn("kim", "right horse");
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", cookie, {}, {std::string(kDepth1)}).status, 401);
}

TEST_F(DavRules, WrongPasswordsCountInTheLockOut) {
    const std::string wrong = Basic("kim", "wrong horse");
    for (std::int32_t i = 0; i < AttemptLimiter::kFreeFailures; ++i)
        EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {}, {wrong, std::string(kDepth1)}).status,
                  401);
    const ClientResponse locked =
        Send("PROPFIND", "/dav/other/", {}, {}, {wrong, std::string(kDepth1)});
    EXPECT_EQ(locked.status, 429);
    EXPECT_EQ(locked.Header("Retry-After"), "60");
    // The right password waits out the lock too, and the web sign-in shares it.
    EXPECT_EQ(
        Send("PROPFIND", "/dav/other/", {}, {}, {Basic("kim", "right horse"), std::string(kDepth1)})
            .status,
        429);
    EXPECT_EQ(Post("/api/login", R"({"name":"kim","password":"right horse"})").status, 429);
    bool logged = false;
    for (const AccessLogEntry& entry : LogEntries())
        logged = logged || entry.action == "loginFailed";
    EXPECT_TRUE(logged);
}

TEST_F(DavRules, ASharePasswordOpensItsShareForAnyName) {
    m_config.shares[3].guest = AccessFlags::Read;
    m_config.shares[3].password = TestHash("open sesame");
    Apply(m_config);
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {}, {std::string(kDepth1)}).status, 401);
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {},
                   {Basic("anyone", "open sesame"), std::string(kDepth1)})
                  .status,
              207);
    // Remembered credentials end with the password they were checked against.
    m_config.shares[3].password = TestHash("new words");
    Apply(m_config);
    EXPECT_EQ(Send("PROPFIND", "/dav/other/", {}, {},
                   {Basic("anyone", "open sesame"), std::string(kDepth1)})
                  .status,
              401);
}

TEST_F(DavRules, HiddenAndTemporaryNamesAreUnreachable) {
    WriteFile("open/.secret", "hidden");
    WriteFile("open/.vcsupload-0123456789abcdef", "partial");
    const ClientResponse listing = Send("PROPFIND", "/dav/open/", {}, {}, {std::string(kDepth1)});
    EXPECT_EQ(listing.status, 207);
    EXPECT_NE(listing.body.find("a.txt"), std::string::npos);
    EXPECT_EQ(listing.body.find(".secret"), std::string::npos);
    EXPECT_EQ(listing.body.find("vcsupload"), std::string::npos);
    for (const char* target : {"/dav/open/.secret", "/dav/open/.vcsupload-0123456789abcdef"}) {
        EXPECT_EQ(Get(target).status, 404) << target;
        EXPECT_EQ(Send("PROPFIND", target, {}, {}, {"Depth: 0"}).status, 404) << target;
        EXPECT_NE(Send("DELETE", target).status, 204) << target;
    }
    EXPECT_EQ(Send("PUT", "/dav/open/.profile", {}, "x", {}, false).status, 403);
    EXPECT_EQ(Send("MKCOL", "/dav/open/.config").status, 403);
    EXPECT_EQ(Send("MOVE", "/dav/open/a.txt", {}, {}, {"Destination: /dav/open/.a"}).status, 403);
    // macOS side files are answered as stored, and never written.
    EXPECT_EQ(Send("PUT", "/dav/open/._a.txt", {}, "resource fork", {}, false).status, 201);
    EXPECT_EQ(Send("PUT", "/dav/open/.DS_Store", {}, "view", {}, false).status, 201);
    EXPECT_EQ(Send("PROPFIND", "/dav/open/._a.txt", {}, {}, {"Depth: 0"}).status, 404);
    EXPECT_FALSE(std::filesystem::exists(Files() / "open/._a.txt"));
    EXPECT_FALSE(std::filesystem::exists(Files() / "open/.DS_Store"));
    EXPECT_EQ(ReadFile(Files() / "open/.secret"), "hidden");
}

TEST_F(DavRules, DestinationsOutsideTheShareAreRefused) {
    // The test client names its host "test".
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"http://elsewhere.example/dav/open/b.txt", 502},
        {"http://user@test/dav/open/b.txt", 502},
        {"http://test/api/list", 403},
        {"/files/open/b.txt", 403},
        {"/dav/open/../../b.txt", 400},
        {"/dav/", 403},
        {"/dav/nosuch/b.txt", 409},
        {"/dav/other/b.txt", 401},    // a guest has no rights there
        {"/dav/readonly/b.txt", 403}, // nobody writes there
    };
    for (const auto& [destination, status] : cases) {
        EXPECT_EQ(Send("COPY", "/dav/open/a.txt", {}, {}, {"Destination: " + destination}).status,
                  status)
            << destination;
        EXPECT_EQ(Send("MOVE", "/dav/open/a.txt", {}, {}, {"Destination: " + destination}).status,
                  status)
            << destination;
    }
    EXPECT_EQ(ReadFile(Files() / "open/a.txt"), "alpha");
    EXPECT_FALSE(std::filesystem::exists(Files() / "readonly/b.txt"));
    EXPECT_FALSE(std::filesystem::exists(Files() / "other/b.txt"));

    // With rights on both shares a copy between them goes through.
    const std::string kim = Basic("kim", "right horse");
    EXPECT_EQ(
        Send("COPY", "/dav/members/m.txt", {}, {}, {kim, "Destination: /dav/other/m.txt"}).status,
        201);
    EXPECT_EQ(ReadFile(Files() / "other/m.txt"), "members only");
    // Replacing takes Overwrite and the right to delete.
    EXPECT_EQ(Send("COPY", "/dav/open/a.txt", {}, {}, {"Destination: /dav/open/c.txt"}).status,
              201);
    EXPECT_EQ(
        Send("COPY", "/dav/open/a.txt", {}, {}, {"Destination: /dav/open/c.txt", "Overwrite: F"})
            .status,
        412);
}

TEST_F(DavRules, DeleteMovesToTheTrash) {
    std::filesystem::create_directories(Files() / "open/folder/inner");
    WriteFile("open/folder/inner/deep.txt", "deep");
    EXPECT_EQ(Send("DELETE", "/dav/open/folder").status, 204);
    EXPECT_EQ(Send("DELETE", "/dav/open/a.txt").status, 204);
    EXPECT_FALSE(std::filesystem::exists(Files() / "open/folder"));
    const std::filesystem::path data = Root() / "data" / "Trash";
    EXPECT_EQ(ReadFile(data / "files/folder/inner/deep.txt"), "deep");
    EXPECT_EQ(ReadFile(data / "files/a.txt"), "alpha");
    FILE* pipe = ::popen("trash-list 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string listed;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        listed.append(buffer, got);
    ::pclose(pipe);
    EXPECT_NE(listed.find((Files() / "open/folder").string()), std::string::npos) << listed;
    EXPECT_EQ(Send("DELETE", "/dav/open/a.txt").status, 404);
    EXPECT_EQ(Send("DELETE", "/dav/open/").status, 403);
}

TEST_F(DavRules, QuirksOfClients) {
    // No redirect for a folder without its "/", doubled slashes collapse,
    // prefixes other than "D:" read the same, a missing item is a plain 404,
    // and an unbounded depth is refused.
    std::filesystem::create_directories(Files() / "open/sub");
    const std::string body = R"(<?xml version="1.0"?><x:propfind xmlns:x="DAV:"><x:prop>)"
                             R"(<x:resourcetype/><x:getcontentlength/></x:prop></x:propfind>)";
    for (const char* target : {"/dav/open/sub", "/dav/open//sub/", "/dav//open/sub"}) {
        const ClientResponse reply = Send("PROPFIND", target, {}, body, {"Depth: 0"}, false);
        EXPECT_EQ(reply.status, 207) << target;
        EXPECT_NE(reply.body.find("<D:collection/>"), std::string::npos) << target;
    }
    EXPECT_EQ(Send("PROPFIND", "/dav/open/missing", {}, {}, {"Depth: 0"}).status, 404);
    const ClientResponse infinite = Send("PROPFIND", "/dav/open/", {}, {}, {"Depth: infinity"});
    EXPECT_EQ(infinite.status, 403);
    EXPECT_NE(infinite.body.find("propfind-finite-depth"), std::string::npos);
    EXPECT_EQ(Send("PROPFIND", "/dav/open/", {}, "<broken", {"Depth: 0"}, false).status, 400);
    // A chunked upload with the length macOS announces, and rclone's time.
    HttpClient client(Port());
    ASSERT_TRUE(client.SendRaw("PUT /dav/open/sub/mac.txt HTTP/1.1\r\nHost: test\r\n"
                               "Transfer-Encoding: chunked\r\nX-Expected-Entity-Length: 5\r\n"
                               "X-OC-Mtime: 1577934245\r\n\r\n5\r\nhello\r\n0\r\n\r\n"));
    const std::optional<ClientResponse> put = client.ReadResponse();
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 201);
    EXPECT_EQ(ReadFile(Files() / "open/sub/mac.txt"), "hello");
    const ClientResponse props = Send("PROPFIND", "/dav/open/sub/mac.txt", {}, {}, {"Depth: 0"});
    EXPECT_NE(props.body.find("Thu, 02 Jan 2020 03:04:05 GMT"), std::string::npos) << props.body;
}

TEST_F(DavRules, SwitchedOffItIsNotThere) {
    m_config.webdav = false;
    Apply(m_config);
    EXPECT_EQ(Send("PROPFIND", "/dav/open/", {}, {}, {std::string(kDepth1)}).status, 404);
    EXPECT_EQ(Send("OPTIONS", "/").Header("DAV"), "");
}

} // namespace
} // namespace Velto::Corvane::Testing
