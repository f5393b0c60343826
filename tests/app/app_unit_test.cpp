// The headless program's pieces: command line, environment settings, service
// options and the run-only shares (over real files in a temporary folder).

#include "app/command_line.h"
#include "app/headless/server_addresses.h"
#include "app/headless/temporary_shares.h"
#include "app/run/environment_settings.h"
#include "app/run/service_options_for_run.h"
#include "base/environment_variable.h"
#include "base/utf.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <set>

namespace App {
namespace {

using Velto::Corvane::Testing::TempHome;

CommandLine Parse(std::vector<std::string_view> arguments, bool selfContained = false) {
    return ParseCommandLine(arguments, selfContained);
}

TEST(CommandLineTest, HeadlessOptions) {
    struct Case {
        std::vector<std::string_view> arguments;
        bool headless;
        std::optional<std::uint16_t> port;
        std::vector<std::string> shares;
        std::string errorPart; // empty: no error
    };
    const std::vector<Case> cases = {
        {{"--headless"}, true, std::nullopt, {}, ""},
        {{"--headless", "--port", "9000", "--share", "/a", "--share", "b c"},
         true,
         9000,
         {"/a", "b c"},
         ""},
        {{"--share", "--port", "--headless"}, true, std::nullopt, {"--port"}, ""},
        {{"--headless", "--port", "65535"}, true, 65535, {}, ""},
        {{"--headless", "--port", "0"}, true, std::nullopt, {}, "1 to 65535"},
        {{"--headless", "--port", "65536"}, true, std::nullopt, {}, "1 to 65535"},
        {{"--headless", "--port", "80x"}, true, std::nullopt, {}, "1 to 65535"},
        {{"--headless", "--port", "-1"}, true, std::nullopt, {}, "1 to 65535"},
        {{"--headless", "--port"}, true, std::nullopt, {}, "--port needs"},
        {{"--headless", "--share"}, true, std::nullopt, {}, "--share needs"},
        {{"--headless", "--sahre", "x"}, true, std::nullopt, {}, "unknown option \"--sahre\""},
        {{"--headless", "--tray"}, true, std::nullopt, {}, ""},
        // Without --headless a launcher's extra arguments are ignored.
        {{"--tray", "--whatever"}, false, std::nullopt, {}, ""},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto argument : c.arguments)
            joined += std::string{argument} + " ";
        SCOPED_TRACE(joined);
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.headless, c.headless);
        if (c.errorPart.empty()) {
            EXPECT_EQ(line.error, "");
            EXPECT_EQ(line.port, c.port);
            EXPECT_EQ(line.shares, c.shares);
        } else {
            EXPECT_NE(line.error.find(c.errorPart), std::string::npos) << line.error;
        }
    }
}

TEST(CommandLineTest, DropIsHonouredOnlyInSelfContainedMode) {
    const CommandLine normal = Parse({"--drop", "--tray"});
    EXPECT_FALSE(normal.drop);
    EXPECT_TRUE(normal.tray); // the next argument was not consumed
    const CommandLine contained = Parse({"--drop", "--tray"}, true);
    EXPECT_EQ(contained.drop, std::optional<std::string>{"--tray"});
    EXPECT_FALSE(contained.tray);
    EXPECT_TRUE(Parse({"--quit"}).quit);
    // The last argument has no path after it: nothing to take.
    EXPECT_FALSE(Parse({"--tray", "--drop"}, true).drop);
}

TEST(CommandLineTest, WindowOptionsMatchExactly) {
    const CommandLine upper = Parse({"--TRAY", "--Quit", "-tray", "--tray=1", "tray"});
    EXPECT_FALSE(upper.tray);
    EXPECT_FALSE(upper.quit);
    EXPECT_EQ(upper.error, "");
    const CommandLine both = Parse({"x", "--quit", "--tray"});
    EXPECT_TRUE(both.tray);
    EXPECT_TRUE(both.quit);
}

TEST(EnvironmentSettingsTest, SwitchesAndTexts) {
    TempHome home;
    struct Case {
        const char* value;
        bool on;
        std::string text;
    };
    const std::string longest(Velto::kMaxVariableLength - 1, 'x');
    const std::string tooLong(Velto::kMaxVariableLength, 'x');
    const std::vector<Case> cases = {
        {"1", true, "1"},
        {"true", false, "true"},
        {"yes", false, "yes"},
        {"01", false, "01"},
        {"", false, ""},
        {longest.c_str(), false, longest},
        {tooLong.c_str(), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string{c.value}.substr(0, 8));
        for (const char* name :
             {"VELTO_CORVANE_LOOPBACK", "VELTO_CORVANE_PARK_WINDOWS", "VELTO_CORVANE_TRAY_HIDDEN",
              "VELTO_CORVANE_DATA_DIR", "VELTO_CORVANE_INSTANCE", "VELTO_CORVANE_SHOTS",
              "VELTO_CORVANE_SHOTS_SCALE", "VELTO_CORVANE_TRACE"})
            home.Set(name, c.value);
        const EnvironmentSettings settings = ReadEnvironmentSettings();
        EXPECT_EQ(settings.loopback, c.on);
        EXPECT_EQ(settings.parkWindows, c.on);
        EXPECT_EQ(settings.trayHidden, c.on);
        EXPECT_EQ(settings.dataFolder, c.text);
        EXPECT_EQ(settings.instanceSuffix, c.text);
        EXPECT_EQ(settings.shotsFolder, c.text);
        EXPECT_EQ(settings.shotsScale, c.text);
        EXPECT_EQ(settings.traceFile, c.text);
        EXPECT_EQ(settings.SelfContained(), !c.text.empty());
    }
    home.Unset("VELTO_CORVANE_LOOPBACK");
    EXPECT_FALSE(ReadEnvironmentSettings().loopback);
}

TEST(ServiceOptionsTest, NormalAndSelfContainedNames) {
    TempHome home;
    EnvironmentSettings settings;
    settings.loopback = true;
    const auto normal = ServiceOptionsFor(settings);
    EXPECT_EQ(normal.configPath, home.root + "/config/VeltoCorvane/config.json");
    EXPECT_EQ(normal.logsFolder, home.root + "/state/VeltoCorvane/logs");
    EXPECT_EQ(normal.certificateStoreFolder, home.root + "/data/VeltoCorvane");
    EXPECT_TRUE(normal.loopbackOnly);
    EXPECT_EQ(normal.keyNamePrefix, u"VeltoCorvane-Server-");
    EXPECT_EQ(normal.certificateSubject, u"CN=VeltoCorvane");
    EXPECT_EQ(normal.certificateFriendlyName, u"VeltoCorvane");

    home.Set("VELTO_CORVANE_DATA_DIR", home.root + "/portable/");
    settings = ReadEnvironmentSettings();
    const auto contained = ServiceOptionsFor(settings);
    EXPECT_EQ(contained.configPath, home.root + "/portable/config.json");
    EXPECT_EQ(contained.logsFolder, home.root + "/portable/logs");
    EXPECT_EQ(contained.certificateStoreFolder, home.root + "/portable");
    EXPECT_FALSE(contained.loopbackOnly);
    EXPECT_EQ(contained.keyNamePrefix, u"VeltoCorvaneCheck-");
    EXPECT_EQ(contained.certificateSubject, u"CN=VeltoCorvane Check");
    EXPECT_EQ(contained.certificateFriendlyName, u"VeltoCorvane Check");
}

TEST(ShareNameTest, NamesFromPaths) {
    const std::u16string long70(70, u'a');
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"/home/ann/Photos", u"Photos"},
        {u"/home/ann/Photos///", u"Photos"},
        {u"/home/ann/report.pdf", u"report.pdf"},
        {u"/srv/a:b*c?d\"e<f>g|h\\i", u"a_b_c_d_e_f_g_h_i"},
        {u"/srv/tab\there", u"tab_here"},
        {u"/srv/ .hidden. ", u"hidden"},
        {u"/srv/...", u"Share"},
        {u"/", u"Share"},
        {u"/srv/" + long70, std::u16string(64, u'a')},
        {u"/srv/" + std::u16string(63, u'b') + u"\U0001F600", std::u16string(63, u'b')},
        {u"/srv/사진", u"사진"},
    };
    for (const auto& [path, name] : cases) {
        SCOPED_TRACE(Velto::Utf16ToUtf8(path));
        const std::u16string made = ShareNameForPath(path);
        EXPECT_EQ(made, name);
        EXPECT_TRUE(Velto::Corvane::IsValidShareName(made));
    }
}

TEST(ShareNameTest, UniqueNamesIgnoreCase) {
    EXPECT_EQ(UniqueShareName(u"Docs", {}), u"Docs");
    EXPECT_EQ(UniqueShareName(u"Docs", {u"docs"}), u"Docs (2)");
    EXPECT_EQ(UniqueShareName(u"Docs", {u"DOCS", u"docs (2)"}), u"Docs (3)");
    const std::u16string full(64, u'x');
    const std::u16string made = UniqueShareName(full, {full});
    EXPECT_EQ(made, std::u16string(60, u'x') + u" (2)");
    EXPECT_TRUE(Velto::Corvane::IsValidShareName(made));
}

TEST(TemporarySharesTest, RealPathsBecomeReadOnlyGuestShares) {
    TempHome home;
    const std::string root = home.root;
    std::filesystem::create_directories(root + "/one/Music");
    std::filesystem::create_directories(root + "/two/music");
    std::ofstream{root + "/one/song.mp3"} << "x";
    std::filesystem::create_symlink(root + "/one/Music", root + "/link");

    Velto::Corvane::Share existing;
    existing.id = "0000000000000001";
    existing.name = u"MUSIC";
    const auto made = MakeTemporaryShares(
        {root + "/one/Music", root + "/two/music/", root + "/one/song.mp3", root + "/link"},
        {existing});
    ASSERT_EQ(made.error, "");
    ASSERT_EQ(made.shares.size(), 4u);
    const std::vector<std::u16string> names = {u"Music (2)", u"music (3)", u"song.mp3",
                                               u"Music (4)"};
    const std::vector<std::string> paths = {root + "/one/Music", root + "/two/music",
                                            root + "/one/song.mp3", root + "/one/Music"};
    std::set<std::string> ids{existing.id};
    for (std::size_t i = 0; i < made.shares.size(); ++i) {
        const auto& share = made.shares[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(share.name, names[i]);
        EXPECT_EQ(Velto::Utf16ToUtf8(share.path), paths[i]);
        EXPECT_EQ(share.file, i == 2);
        EXPECT_TRUE(share.readOnly);
        EXPECT_EQ(share.guest, Velto::Corvane::AccessFlags::Read);
        EXPECT_TRUE(share.password.empty());
        EXPECT_EQ(share.id.size(), 16u);
        EXPECT_EQ(share.id.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_TRUE(ids.insert(share.id).second) << share.id;
    }
}

TEST(TemporarySharesTest, UnusablePathsAreRefused) {
    TempHome home;
    const std::string root = home.root;
    ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
    std::filesystem::create_directories(root + "/bad\xff"
                                               "name");
    struct Case {
        std::string path;
        std::string errorPart;
    };
    const std::vector<Case> cases = {
        {root + "/missing", "does not exist"},
        {root + "/pipe", "neither a folder nor a file"},
        {"/dev/null", "neither a folder nor a file"},
        {root + "/bad\xff"
                "name",
         "not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto made = MakeTemporaryShares({root, c.path}, {});
        EXPECT_NE(made.error.find(c.errorPart), std::string::npos) << made.error;
        EXPECT_NE(made.error.find(c.path), std::string::npos) << made.error;
    }
}

TEST(ServerAddressesTest, UrlsFollowTheStatus) {
    Velto::Corvane::ServiceStatus status;
    status.port = 8443;
    status.localAddresses = {"192.168.1.5", "10.0.0.7"};
    EXPECT_EQ(AddressUrls(status),
              (std::vector<std::string>{"http://192.168.1.5:8443/", "http://10.0.0.7:8443/"}));
    status.https = true;
    EXPECT_EQ(AddressUrls(status).front(), "https://192.168.1.5:8443/");
}

} // namespace
} // namespace App
