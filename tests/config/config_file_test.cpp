#include "config/config_file.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

namespace Velto::Corvane {
namespace {

namespace fs = std::filesystem;
using Testing::TempHome;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> FolderNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Config FromText(std::string_view text) {
    auto [root, ok] = ParseJson(text, kJsonMaxDepth);
    EXPECT_TRUE(ok) << text;
    return ConfigFromJson(root);
}

std::string ShareJson(std::string_view id, std::string_view name, std::string_view extra = "") {
    return "{\"id\":\"" + std::string(id) + "\",\"name\":\"" + std::string(name) +
           "\",\"path\":\"/srv/x\"" + std::string(extra) + "}";
}

constexpr std::string_view kHash =
    "pbkdf2-sha256$1000$00$" // a verifiable shape is not needed here
    "0000000000000000000000000000000000000000000000000000000000000000";

std::string AccountJson(std::string_view name, std::string_view extra = "") {
    return "{\"name\":\"" + std::string(name) + "\",\"password\":\"" + std::string(kHash) + "\"" +
           std::string(extra) + "}";
}

std::vector<std::u16string> ShareNames(const Config& c) {
    std::vector<std::u16string> names;
    for (const auto& s : c.shares)
        names.push_back(s.name);
    return names;
}

std::vector<std::u16string> AccountNames(const Config& c) {
    std::vector<std::u16string> names;
    for (const auto& a : c.accounts)
        names.push_back(a.name);
    return names;
}

TEST(ConfigReadTest, ServerKeysFollowTheReadRules) {
    struct Case {
        std::string server;
        std::function<void(const Config&)> check;
    };
    const Case cases[] = {
        {R"({"port":0})", [](const Config& c) { EXPECT_EQ(c.port, 8080); }},
        {R"({"port":70000})", [](const Config& c) { EXPECT_EQ(c.port, 8080); }},
        {R"({"port":8080.5})", [](const Config& c) { EXPECT_EQ(c.port, 8080); }},
        {R"({"port":"8443"})", [](const Config& c) { EXPECT_EQ(c.port, 8080); }},
        {R"({"port":8443})", [](const Config& c) { EXPECT_EQ(c.port, 8443); }},
        {R"({"port":65535,"https":true})",
         [](const Config& c) {
             EXPECT_EQ(c.port, 65535);
             EXPECT_TRUE(c.https);
         }},
        {R"({"https":"true","upnp":0,"startServerOnLaunch":null,"showHidden":1})",
         [](const Config& c) {
             EXPECT_FALSE(c.https);
             EXPECT_TRUE(c.upnp);
             EXPECT_TRUE(c.startServerOnLaunch);
             EXPECT_FALSE(c.showHidden);
             EXPECT_TRUE(c.webdav);
         }},
        {R"({"webdav":false})", [](const Config& c) { EXPECT_FALSE(c.webdav); }},
        {R"({"webdav":"no"})", [](const Config& c) { EXPECT_TRUE(c.webdav); }},
        {R"({"upnp":false,"startServerOnLaunch":false,"showHidden":true})",
         [](const Config& c) {
             EXPECT_FALSE(c.upnp);
             EXPECT_FALSE(c.startServerOnLaunch);
             EXPECT_TRUE(c.showHidden);
         }},
        {R"({"certificate":"pfx"})",
         [](const Config& c) { EXPECT_EQ(c.certificate, CertificateKind::Pfx); }},
        {R"({"certificate":"PFX"})",
         [](const Config& c) { EXPECT_EQ(c.certificate, CertificateKind::SelfSigned); }},
        {R"({"pfxPath":"/home/u/인증서.pfx","pfxPassword":"00ff","language":"ko","theme":7})",
         [](const Config& c) {
             EXPECT_EQ(c.pfxPath, u"/home/u/인증서.pfx");
             EXPECT_EQ(c.pfxPassword, "00ff");
             EXPECT_EQ(c.language, u"ko");
             EXPECT_EQ(c.theme, u"");
         }},
        {R"([1,2])", [](const Config& c) { EXPECT_EQ(c.port, 8080); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        c.check(FromText("{\"server\":" + c.server + "}"));
    }
}

TEST(ConfigReadTest, SharesFollowTheReadRules) {
    struct Case {
        std::string shares;
        std::function<void(const Config&)> check;
    };
    const Case cases[] = {
        {"[" + ShareJson("a1", "Music") + "]",
         [](const Config& c) {
             ASSERT_EQ(c.shares.size(), 1u);
             EXPECT_EQ(c.shares[0].guest, AccessFlags::Read);
             EXPECT_EQ(c.shares[0].path, u"/srv/x");
             EXPECT_FALSE(c.shares[0].readOnly);
         }},
        {"[" + ShareJson("a1", "A", R"(,"guest":[])") + "]",
         [](const Config& c) { EXPECT_EQ(c.shares.at(0).guest, AccessFlags::None); }},
        {"[" + ShareJson("a1", "A", R"(,"guest":null)") + "]",
         [](const Config& c) { EXPECT_EQ(c.shares.at(0).guest, AccessFlags::None); }},
        {"[" + ShareJson("a1", "A", R"(,"guest":["write"])") + "]",
         [](const Config& c) {
             EXPECT_EQ(c.shares.at(0).guest, AccessFlags::Read | AccessFlags::Write);
         }},
        {"[" + ShareJson("a1", "A", R"(,"guest":["delete","Read","bogus",1,["read"]])") + "]",
         [](const Config& c) {
             EXPECT_EQ(c.shares.at(0).guest, AccessFlags::Read | AccessFlags::Delete);
         }},
        {"[" + ShareJson("a1", "A", R"(,"file":true,"readOnly":false)") + "]",
         [](const Config& c) {
             EXPECT_TRUE(c.shares.at(0).file);
             EXPECT_TRUE(c.shares.at(0).readOnly);
         }},
        {"[" + ShareJson("a1", "Music") + "," + ShareJson("a2", "music") + "," +
             ShareJson("a1", "Other") + "," + ShareJson("a3", "ÄRGER") + "," +
             ShareJson("a4", "ärger") + "]",
         [](const Config& c) {
             EXPECT_EQ(ShareNames(c), (std::vector<std::u16string>{u"Music", u"ÄRGER"}));
         }},
        {"[" + ShareJson("a1", ".hidden") + "," + ShareJson("a2", "trail ") + "," +
             ShareJson("a3", "a:b") + "," + ShareJson("", "noid") + "," +
             R"({"id":"a5","name":"nopath"})" + "," + ShareJson("a6", "") + "," +
             ShareJson("a7", std::string(65, 'x')) + "," + ShareJson("a8", std::string(64, 'y')) +
             "," + ShareJson("a9", "문서 모음") + "]",
         [](const Config& c) {
             EXPECT_EQ(ShareNames(c),
                       (std::vector<std::u16string>{std::u16string(64, u'y'), u"문서 모음"}));
         }},
        {"[" + ShareJson("a1", "A", R"(,"maxUploadBytes":9007199254740991)") + "," +
             ShareJson("a2", "B", R"(,"maxUploadBytes":9007199254740992)") + "," +
             ShareJson("a3", "C", R"(,"maxUploadBytes":-1)") + "," +
             ShareJson("a4", "D", R"(,"maxUploadBytes":1.5)") + "," +
             ShareJson("a5", "E", R"(,"maxUploadBytes":"5")") + "]",
         [](const Config& c) {
             ASSERT_EQ(c.shares.size(), 5u);
             EXPECT_EQ(c.shares[0].maxUploadBytes, 9007199254740991);
             for (std::size_t i = 1; i < 5; ++i)
                 EXPECT_EQ(c.shares[i].maxUploadBytes, 0);
         }},
        {R"({"id":"a1"})", [](const Config& c) { EXPECT_TRUE(c.shares.empty()); }},
        {"[1, \"x\", null]", [](const Config& c) { EXPECT_TRUE(c.shares.empty()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shares);
        c.check(FromText("{\"shares\":" + c.shares + "}"));
    }
}

TEST(ConfigReadTest, AccountsFollowTheReadRules) {
    const std::string shares = "[" + ShareJson("s1", "One") + "," + ShareJson("s2", "Two") + "]";
    struct Case {
        std::string accounts;
        std::function<void(const Config&)> check;
    };
    const Case cases[] = {
        {"[" +
             AccountJson("bob",
                         R"(,"access":{"s2":["delete"],"gone":["read"],"s1":["write","read"]})") +
             "]",
         [](const Config& c) {
             ASSERT_EQ(c.accounts.size(), 1u);
             const auto& access = c.accounts[0].access;
             ASSERT_EQ(access.size(), 2u);
             EXPECT_EQ(access.at("s1"), AccessFlags::Read | AccessFlags::Write);
             EXPECT_EQ(access.at("s2"), AccessFlags::Read | AccessFlags::Delete);
         }},
        {"[" + AccountJson("bob", R"(,"access":["s1"])") + "]",
         [](const Config& c) { EXPECT_TRUE(c.accounts.at(0).access.empty()); }},
        {"[" + AccountJson("a:b") + "," + AccountJson(".admin") + "," + AccountJson(" lead") + "," +
             AccountJson("Bob") + "," + AccountJson("BOB") + "," +
             R"({"name":"nopass","password":""})" + "," + R"({"name":"nopass2"})" + "," +
             AccountJson("back\\\\slash/ok") + "]",
         [](const Config& c) {
             EXPECT_EQ(AccountNames(c),
                       (std::vector<std::u16string>{u".admin", u"Bob", u"back\\slash/ok"}));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.accounts);
        c.check(FromText("{\"shares\":" + shares + ",\"accounts\":" + c.accounts + "}"));
    }
}

// Links survive a save and a load member for member; a link whose share or
// creating account is gone, or whose id or token is malformed or taken, is
// dropped; a file without links has no links member, as older files.
TEST(ConfigReadTest, LinksRoundTripAndFollowTheReadRules) {
    Config config = FromText("{\"shares\":[" + ShareJson("s1", "One") + "],\"accounts\":[" +
                             AccountJson("bob") + "]}");
    EXPECT_EQ(ConfigToJson(config).Find("links"), nullptr);
    std::optional<ShareLink> made = NewShareLink("s1", u"Photos/2024", LinkLifetime::Week, 1'000);
    ASSERT_TRUE(made);
    made->mode = LinkMode::Upload;
    made->password = std::string(kHash);
    made->label = u"앨범 for Ann";
    made->creator = u"bob";
    made->uses = 7;
    config.links.push_back(*made);
    const std::string text = SerializeJson(ConfigToJson(config), false);
    const Config back = FromText(text);
    ASSERT_EQ(back.links.size(), 1u);
    const ShareLink& link = back.links[0];
    EXPECT_EQ(link.id, made->id);
    EXPECT_EQ(link.token, made->token);
    EXPECT_EQ(link.shareId, "s1");
    EXPECT_EQ(link.path, u"Photos/2024");
    EXPECT_EQ(link.mode, LinkMode::Upload);
    EXPECT_EQ(link.created, 1'000);
    EXPECT_EQ(link.expires, 1'000 + 7 * 86'400);
    EXPECT_EQ(link.password, kHash);
    EXPECT_EQ(link.label, u"앨범 for Ann");
    EXPECT_EQ(link.creator, u"bob");
    EXPECT_EQ(link.uses, 7u);

    const std::string good =
        SerializeJson(ConfigToJson(config).Get("links").AsArray().at(0), false);
    const auto with = [&](std::string_view member, std::string_view value) {
        std::string item = good;
        const std::size_t at = item.find("\"" + std::string(member) + "\":");
        const std::size_t from = item.find(':', at) + 1;
        const std::size_t to = item.find_first_of(",}", from);
        return item.replace(from, to - from, value);
    };
    const struct {
        const char* name;
        std::string link;
        bool kept;
    } cases[] = {
        {"as written", good, true},
        {"share gone", with("share", "\"s9\""), false},
        {"creator gone", with("creator", "\"ann\""), false},
        {"owner's link", with("creator", "\"\""), true},
        {"short token", with("token", "\"abc\""), false},
        {"token with bits past 128", with("token", "\"" + made->token.substr(0, 21) + "B\""),
         false},
        {"short id", with("id", "\"12ab\""), false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const Config read = FromText("{\"shares\":[" + ShareJson("s1", "One") + "],\"accounts\":[" +
                                     AccountJson("bob") + "],\"links\":[" + row.link + "]}");
        EXPECT_EQ(read.links.size(), row.kept ? 1u : 0u);
    }
    // Two links with one token: the second is dropped.
    const Config twice = FromText("{\"shares\":[" + ShareJson("s1", "One") + "],\"accounts\":[" +
                                  AccountJson("bob") + "],\"links\":[" + good + "," +
                                  with("id", "\"00000000000000ff\"") + "]}");
    EXPECT_EQ(twice.links.size(), 1u);
}

TEST(ShareLinkTest, TokensAreLongRandomAndWellFormed) {
    std::set<std::string> tokens;
    for (int i = 0; i < 1'000; ++i) {
        const std::optional<ShareLink> link = NewShareLink("s1", u"", LinkLifetime::Never, 5);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->expires, 0);
        EXPECT_EQ(link->token.size(), 22u);
        EXPECT_TRUE(IsWellFormedLinkToken(link->token)) << link->token;
        EXPECT_TRUE(tokens.insert(link->token).second);
    }
    for (const char* bad : {"", "AAAAAAAAAAAAAAAAAAAAA", "AAAAAAAAAAAAAAAAAAAAA+",
                            "AAAAAAAAAAAAAAAAAAAAA=", "AAAAAAAAAAAAAAAAAAAAAAA"})
        EXPECT_FALSE(IsWellFormedLinkToken(bad)) << bad;
    EXPECT_TRUE(IsWellFormedLinkToken("AAAAAAAAAAAAAAAAAAAAAw"));
    EXPECT_FALSE(NewShareLink("s1", u"", LinkLifetime::Hour, 5)->ExpiredAt(5 + 3'599));
    EXPECT_TRUE(NewShareLink("s1", u"", LinkLifetime::Hour, 5)->ExpiredAt(5 + 3'600));
}

TEST(ConfigRulesTest, NamesAndCaseFolding) {
    EXPECT_TRUE(EqualsIgnoreCase(u"Music", u"mUSIC"));
    EXPECT_TRUE(EqualsIgnoreCase(u"Ärger Ωmega", u"ärger ωMEGA"));
    EXPECT_FALSE(EqualsIgnoreCase(u"Music", u"Musik"));
    EXPECT_FALSE(EqualsIgnoreCase(u"ß", u"SS")); // no multi-unit mappings
    EXPECT_FALSE(EqualsIgnoreCase(u"a", u"a "));

    for (const char16_t* bad : {u"", u" a", u"a ", u".a", u"a.", u"a\\b", u"a/b", u"a:b", u"a*b",
                                u"a?b", u"a\"b", u"a<b", u"a>b", u"a|b", u"a\tb", u"a\x7f"})
        EXPECT_FALSE(IsValidShareName(bad)) << Utf16ToUtf8(bad);
    for (const char16_t* good : {u"a", u"a.b", u"a b", u"사진", u"a-b_c'd"})
        EXPECT_TRUE(IsValidShareName(good)) << Utf16ToUtf8(good);
    for (const char16_t* bad : {u"", u" a", u"a ", u"a:b", u"a\nb", u"a\x7f"})
        EXPECT_FALSE(IsValidAccountName(bad)) << Utf16ToUtf8(bad);
    for (const char16_t* good : {u".a.", u"a/b\\c*?<>|\"", u"김철수"})
        EXPECT_TRUE(IsValidAccountName(good)) << Utf16ToUtf8(good);
    EXPECT_TRUE(IsValidAccountName(std::u16string(64, u'n')));
    EXPECT_FALSE(IsValidAccountName(std::u16string(65, u'n')));
}

TEST(ConfigRulesTest, EffectiveAccess) {
    Share locked;
    locked.id = "s1";
    locked.password = std::string(kHash);
    locked.guest = AccessFlags::Read;
    Account user;
    user.access["s1"] = AccessFlags::Write; // stored unnormalized on purpose
    Share readOnly = locked;
    readOnly.readOnly = true;
    Share fileShare = locked;
    fileShare.file = true;
    Share open = locked;
    open.password.clear();
    open.guest = AccessFlags::Read | AccessFlags::Delete;

    const auto RW = AccessFlags::Read | AccessFlags::Write;
    EXPECT_EQ(locked.EffectiveAccess(&user, false), RW);
    EXPECT_EQ(locked.EffectiveAccess(nullptr, false), AccessFlags::None);
    EXPECT_EQ(locked.EffectiveAccess(nullptr, true), AccessFlags::Read);
    EXPECT_EQ(readOnly.EffectiveAccess(&user, true), AccessFlags::Read);
    EXPECT_EQ(fileShare.EffectiveAccess(&user, true), AccessFlags::Read);
    EXPECT_EQ(open.EffectiveAccess(&user, false),
              AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete);
    Account stranger;
    stranger.access["other"] = AccessFlags::Write;
    EXPECT_EQ(locked.EffectiveAccess(&stranger, false), AccessFlags::None);
    EXPECT_EQ(NormalizeAccess(static_cast<AccessFlags>(0xFC)),
              AccessFlags::Read | AccessFlags::Delete);
}

class ConfigFileTest : public ::testing::Test {
protected:
    TempHome home;
    std::string path = home.root + "/config/VeltoCorvane/config.json";
};

TEST_F(ConfigFileTest, MissingOrEmptyFileGivesDefaults) {
    Config config;
    config.port = 1234; // a missing file leaves the caller's value alone
    ASSERT_TRUE(LoadConfig(path, config));
    EXPECT_EQ(config.port, 1234);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));

    WriteBytes(path, "\xEF\xBB\xBF {} \n");
    config.port = 1234;
    ASSERT_TRUE(LoadConfig(path, config));
    EXPECT_EQ(config.port, 8080);
    EXPECT_FALSE(config.https);
    EXPECT_EQ(config.certificate, CertificateKind::SelfSigned);
    EXPECT_TRUE(config.upnp);
    EXPECT_FALSE(config.showHidden);
    EXPECT_TRUE(config.startServerOnLaunch);
    EXPECT_TRUE(config.language.empty() && config.theme.empty());
    EXPECT_TRUE(config.shares.empty() && config.accounts.empty());
}

TEST_F(ConfigFileTest, DamagedFileFailsAndStaysUntouched) {
    const std::string damaged[] = {
        R"({"server":{"port":8443},})", "[]", "\"text\"", "\xEF\xBB\xBF\xEF\xBB\xBF{}", "{} x", "",
    };
    for (const auto& text : damaged) {
        SCOPED_TRACE(::testing::PrintToString(text));
        WriteBytes(path, text);
        const timespec old[2] = {{1500000000, 0}, {1500000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
        Config config;
        config.port = 1234;
        EXPECT_FALSE(LoadConfig(path, config));
        EXPECT_EQ(config.port, 1234);
        EXPECT_EQ(ReadBytes(path), text);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
        EXPECT_EQ(FolderNames(fs::path(path).parent_path()),
                  std::vector<std::string>{"config.json"});
    }
    // Something that is not a readable file at all.
    fs::remove(path);
    fs::create_directory(path);
    Config config;
    EXPECT_FALSE(LoadConfig(path, config));
}

const char kExpectedText[] = R"({
  "version": 1,
  "server": {
    "port": 8443,
    "https": true,
    "certificate": "pfx",
    "selfSignedThumbprint": "",
    "pfxPath": "/home/u/인증서.pfx",
    "pfxPassword": "a1b2",
    "upnp": false,
    "showHidden": false,
    "startServerOnLaunch": true,
    "language": "en",
    "theme": "dark"
  },
  "shares": [
    {
      "id": "0123456789abcdef",
      "name": "사진 \u0026 Music's",
      "path": "/srv/music",
      "readOnly": false,
      "guest": [
        "read",
        "write"
      ],
      "password": "",
      "maxUploadBytes": 1048576
    },
    {
      "id": "fedcba9876543210",
      "name": "One file",
      "path": "/srv/report.pdf",
      "readOnly": true,
      "guest": [],
      "password": "pbkdf2-sha256$1$00$x",
      "maxUploadBytes": 0,
      "file": true
    }
  ],
  "accounts": [
    {
      "name": ".admin",
      "password": "pbkdf2-sha256$2$ab$cd",
      "access": {
        "0123456789abcdef": [
          "read",
          "delete"
        ],
        "fedcba9876543210": [
          "read"
        ]
      }
    }
  ]
}
)";

Config SampleConfig() {
    Config config;
    config.port = 8443;
    config.https = true;
    config.certificate = CertificateKind::Pfx;
    config.pfxPath = u"/home/u/인증서.pfx";
    config.pfxPassword = "a1b2";
    config.upnp = false;
    config.language = u"en";
    config.theme = u"dark";
    Share music;
    music.id = "0123456789abcdef";
    music.name = u"사진 & Music's";
    music.path = u"/srv/music";
    music.guest = AccessFlags::Read | AccessFlags::Write;
    music.maxUploadBytes = 1048576;
    Share file;
    file.id = "fedcba9876543210";
    file.name = u"One file";
    file.path = u"/srv/report.pdf";
    file.guest = AccessFlags::None;
    file.password = "pbkdf2-sha256$1$00$x";
    file.file = true; // readOnly left false: the file is still written read-only
    config.shares = {music, file};
    Account admin;
    admin.name = u".admin";
    admin.password = "pbkdf2-sha256$2$ab$cd";
    admin.access["fedcba9876543210"] = AccessFlags::Read;
    admin.access["0123456789abcdef"] = AccessFlags::Read | AccessFlags::Delete;
    config.accounts = {admin};
    return config;
}

TEST_F(ConfigFileTest, SavesExactTextPrivatelyAndReadsItBack) {
    ASSERT_TRUE(SaveConfig(path, SampleConfig()));
    EXPECT_EQ(ReadBytes(path), kExpectedText);

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(fs::path(path).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(FolderNames(fs::path(path).parent_path()), std::vector<std::string>{"config.json"});

    Config loaded;
    ASSERT_TRUE(LoadConfig(path, loaded));
    EXPECT_EQ(SerializeJson(ConfigToJson(loaded), true),
              SerializeJson(ConfigToJson(SampleConfig()), true));
    EXPECT_TRUE(loaded.shares[1].readOnly);
    EXPECT_EQ(loaded.FindShareByName(u"ONE FILE"), &loaded.shares[1]);
    EXPECT_EQ(loaded.FindShareById("FEDCBA9876543210"), nullptr);
    EXPECT_EQ(loaded.FindAccount(u".ADMIN"), &loaded.accounts[0]);

    // WebDAV switched off is the one case the member is written, and it
    // reads back.
    Config off = SampleConfig();
    off.webdav = false;
    ASSERT_TRUE(SaveConfig(path, off));
    EXPECT_NE(ReadBytes(path).find("\"theme\": \"dark\",\n    \"webdav\": false\n"),
              std::string::npos);
    ASSERT_TRUE(LoadConfig(path, loaded));
    EXPECT_FALSE(loaded.webdav);
}

TEST_F(ConfigFileTest, ReplacesThroughAPrivateTemporaryName) {
    const fs::path folder = fs::path(path).parent_path();
    fs::create_directories(folder);
    WriteBytes(path, "old");
    ::chmod(path.c_str(), 0644);

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_FROM), 0);
    ASSERT_TRUE(SaveConfig(path, Config()));
    alignas(inotify_event) char events[4096];
    const ssize_t n = ::read(watch, events, sizeof events);
    ::close(watch);
    ASSERT_GT(n, 0);
    std::vector<std::string> created;
    for (char* p = events; p < events + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        if (event->len > 0)
            created.push_back(event->name);
        p += sizeof(inotify_event) + event->len;
    }
    ASSERT_EQ(created.size(), 2u); // created, then renamed away
    EXPECT_TRUE(std::regex_match(created[0], std::regex(R"(config\.json\.tmp-[0-9a-f]{8})")))
        << created[0];
    EXPECT_EQ(created[1], created[0]);

    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadBytes(path).substr(0, 16), "{\n  \"version\": 1");
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"config.json"});
}

TEST_F(ConfigFileTest, FailedSaveLeavesNothingBehind) {
    const fs::path folder = fs::path(path).parent_path();
    // A non-empty folder where the file should be: the rename fails.
    fs::create_directories(fs::path(path) / "inside");
    EXPECT_FALSE(SaveConfig(path, Config()));
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"config.json"});
    EXPECT_TRUE(fs::is_directory(fs::path(path) / "inside"));

    // A file where the folder should be.
    const std::string blocked = home.root + "/blocker/config.json";
    WriteBytes(home.root + "/blocker", "file");
    EXPECT_FALSE(SaveConfig(blocked, Config()));
    EXPECT_EQ(ReadBytes(home.root + "/blocker"), "file");
    EXPECT_FALSE(SaveConfig("", Config()));
}

} // namespace
} // namespace Velto::Corvane
