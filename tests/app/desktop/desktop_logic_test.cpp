// The window's decisions as plain functions: which addresses it offers, what
// it says about the server and the router, the name it proposes for a new
// share, the share and account form checks and what they write, and changes
// to the configuration of a real service.

#include "app/desktop/accounts/account_dialog_checks.h"
#include "app/desktop/config_edit.h"
#include "app/desktop/home/address_list.h"
#include "app/desktop/home/connection_view.h"
#include "app/desktop/home/reachability.h"
#include "app/desktop/server_status_text.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/service_worker.h"
#include "app/desktop/shares/dropped_paths.h"
#include "app/desktop/shares/share_actions.h"
#include "app/desktop/shares/share_dialog_checks.h"
#include "app/desktop/shares/share_list_edits.h"
#include "app/desktop/table_source.h"
#include "app/desktop/window_glyphs.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "config/password_hash.h"
#include "tests/support/service_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

namespace App {
namespace {

using Velto::Corvane::AccessFlags;
using Velto::Corvane::Account;
using Velto::Corvane::Config;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::Share;
using Velto::Widget::Tone;

constexpr UiLanguage kEn = UiLanguage::English;
constexpr UiLanguage kKo = UiLanguage::Korean;

ServiceStatus Running(std::vector<std::string> locals, std::uint16_t port = 8080,
                      bool https = false) {
    ServiceStatus status;
    status.state = ServiceStatus::Running;
    status.port = port;
    status.https = https;
    status.localAddresses = std::move(locals);
    return status;
}

std::string U8(const std::u16string& text) {
    return Velto::Utf16ToUtf8(text);
}

std::vector<std::string> U8(const std::vector<std::u16string>& texts) {
    std::vector<std::string> out;
    for (const auto& text : texts)
        out.push_back(U8(text));
    return out;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-desktop-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

TEST(AddressListTest, OffersLocalAndInternetAddressesByState) {
    using Velto::Corvane::UpnpState;
    struct Case {
        const char* what;
        ServiceStatus status;
        std::vector<std::string> local;
        std::vector<std::string> internet;
    };
    ServiceStatus stopped = Running({"192.168.1.5"});
    stopped.state = ServiceStatus::Stopped;
    ServiceStatus mapped = Running({"192.168.1.5", "10.0.0.2"});
    mapped.upnpState = static_cast<int>(UpnpState::Mapped);
    mapped.externalAddress = "203.0.113.7";
    ServiceStatus mappedNoExternal = mapped;
    mappedNoExternal.externalAddress.clear();
    ServiceStatus publicPc = Running({"198.51.100.4"}, 443, true);
    ServiceStatus publicWorking = publicPc;
    publicWorking.upnpState = static_cast<int>(UpnpState::Working);
    ServiceStatus sharedPc = Running({"100.64.1.1"}, 80);

    const std::vector<Case> cases{
        {"stopped", stopped, {}, {}},
        {"mapped",
         mapped,
         {"http://192.168.1.5:8080", "http://10.0.0.2:8080"},
         {"http://203.0.113.7:8080"}},
        {"mapped without external address",
         mappedNoExternal,
         {"http://192.168.1.5:8080", "http://10.0.0.2:8080"},
         {}},
        {"public address, https on 443",
         publicPc,
         {"https://198.51.100.4"},
         {"https://198.51.100.4"}},
        {"public address while mapping", publicWorking, {"https://198.51.100.4"}, {}},
        {"provider-shared address on 80", sharedPc, {"http://100.64.1.1"}, {}},
        {"no local address", Running({}), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(U8(AddressList(c.status, AddressScope::Local)), c.local);
        EXPECT_EQ(U8(AddressList(c.status, AddressScope::Internet)), c.internet);
    }
    EXPECT_EQ(U8(FirstLocalAddress(mapped)), "http://192.168.1.5:8080");
    EXPECT_EQ(U8(FirstLocalAddress(stopped)), "");
    EXPECT_EQ(U8(ServerUrl(true, 80, "10.1.1.1")), "https://10.1.1.1:80");
}

TEST(ServerStatusTextTest, NamesTheCauseOfAFailedStart) {
    struct Case {
        std::int32_t error;
        bool certificate;
        UiLanguage language;
        std::string expected;
    };
    const std::vector<Case> cases{
        {static_cast<std::int32_t>(0x80072740u), false, kEn,
         U8(Text(TextId::PortInUse, kEn))
             .replace(U8(Text(TextId::PortInUse, kEn)).find("{0}"), 3, "9090")},
        {static_cast<std::int32_t>(0x8007271Du), false, kEn,
         U8(Text(TextId::PortNotAllowed, kEn))
             .replace(U8(Text(TextId::PortNotAllowed, kEn)).find("{0}"), 3, "9090")},
        {static_cast<std::int32_t>(0x80072740u), true, kEn,
         "The HTTPS certificate could not be prepared (error 0x80072740). Check the certificate "
         "in Settings."},
        {0x0000ABCD, false, kEn, "Error code: 0x0000ABCD"},
        {static_cast<std::int32_t>(0x80004005u), false, kKo,
         U8(Text(TextId::ErrorCode, kKo))
             .replace(U8(Text(TextId::ErrorCode, kKo)).find("{0}"), 3, "80004005")},
    };
    for (const Case& c : cases) {
        ServiceStatus status;
        status.state = ServiceStatus::Failed;
        status.error = c.error;
        status.certificateError = c.certificate;
        status.port = 1234; // the bound port is not the one named: the configured one is
        EXPECT_EQ(U8(StartFailureText(status, 9090, c.language)), c.expected) << c.expected;
    }
    // The configured text for the certificate case must really hold the placeholder.
    EXPECT_NE(U8(Text(TextId::CertificateFailed, kEn)).find("0x{0}"), std::string::npos);
}

TEST(ServerStatusTextTest, SwitchAndTrafficTexts) {
    EXPECT_EQ(U8(ServerSwitchText(true, kEn)), "Server on");
    EXPECT_EQ(U8(ServerSwitchText(false, kEn)), "Server off");
    ServiceStatus status = Running({});
    status.openConnections = 3;
    status.bytesSent = 1536;
    status.bytesReceived = 153600;
    EXPECT_EQ(U8(TrafficText(status, kEn)),
              "Open connections: 3 \xC2\xB7 Sent: 1.5 KB \xC2\xB7 Received: 150 KB");
}

TEST(ReachabilityTest, ExplainsEachRouterState) {
    struct Case {
        const char* what;
        std::int32_t upnp;
        std::string external;
        std::int32_t externalClass;
        std::vector<std::string> locals;
        char32_t glyph;
        Tone tone;
        std::string text; // expected line text
        bool help;
    };
    const auto text = [](TextId id) { return U8(Text(id, kEn)); };
    const auto format = [](TextId id, const std::string& value) {
        std::string t = U8(Text(id, kEn));
        return t.replace(t.find("{0}"), 3, value);
    };
    const std::vector<std::string> lan{"192.168.1.5"};
    const std::vector<Case> cases{
        {"off", 0, "", 3, lan, Glyph::kInfo, Tone::Accent, text(TextId::UpnpSwitchedOff), true},
        {"working", 1, "", 3, lan, Glyph::kProgress, Tone::Secondary,
         text(TextId::OpeningRouterPort), false},
        {"mapped, no external", 2, "", 3, lan, Glyph::kWarning, Tone::Caution,
         text(TextId::RouterNoExternalAddress), false},
        {"mapped, private", 2, "192.168.0.2", 1, lan, Glyph::kWarning, Tone::Caution,
         format(TextId::RouterPrivateAddress, "192.168.0.2"), false},
        {"mapped, shared", 2, "100.64.0.9", 2, lan, Glyph::kWarning, Tone::Caution,
         format(TextId::RouterSharedAddress, "100.64.0.9"), false},
        {"mapped, public", 2, "203.0.113.7", 0, lan, Glyph::kCheckMark, Tone::Success,
         "The router forwards connections on port 8080 to this PC.", false},
        {"no gateway", 3, "", 3, lan, Glyph::kWarning, Tone::Caution, text(TextId::NoUpnpRouter),
         true},
        {"conflict", 4, "", 3, lan, Glyph::kWarning, Tone::Caution,
         format(TextId::RouterPortTaken, "8080"), false},
        {"refused", 5, "", 3, lan, Glyph::kWarning, Tone::Caution,
         "The router refused to open the port (UPnP error 718).", true},
        {"failed", 6, "", 3, lan, Glyph::kWarning, Tone::Caution,
         text(TextId::RouterCommunicationFailed), true},
        {"own public address",
         3,
         "",
         3,
         {"198.51.100.4"},
         Glyph::kInfo,
         Tone::Accent,
         text(TextId::PublicAddressOfPc),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ServiceStatus status = Running(c.locals);
        status.upnpState = c.upnp;
        status.upnpError = 718;
        status.externalAddress = c.external;
        status.externalClass = c.externalClass;
        const Reachability result = ExplainReachability(status, kEn);
        ASSERT_EQ(result.lines.size(), 1u);
        EXPECT_EQ(result.lines[0].glyph, c.glyph);
        EXPECT_EQ(result.lines[0].iconTone, c.tone);
        EXPECT_EQ(U8(result.lines[0].text), c.text);
        ASSERT_EQ(result.manualHelp.size(), c.help ? 2u : 0u);
        if (c.help) {
            EXPECT_NE(U8(result.manualHelp[0]).find("192.168.1.5"), std::string::npos);
            EXPECT_NE(U8(result.manualHelp[0]).find("8080"), std::string::npos);
        }
    }
    ServiceStatus unknown = Running({"192.168.1.5"});
    unknown.upnpState = 9;
    EXPECT_TRUE(ExplainReachability(unknown, kEn).lines.empty());
    ServiceStatus noAddress = Running({});
    noAddress.upnpState = 0;
    const Reachability help = ExplainReachability(noAddress, kEn);
    ASSERT_EQ(help.manualHelp.size(), 2u);
    EXPECT_NE(U8(help.manualHelp[0]).find('?'), std::string::npos);
}

TEST(ConnectionViewTest, SignatureFollowsWhatTheCardShows) {
    ServiceStatus stopped;
    EXPECT_EQ(U8(ConnectionSignature(stopped, {}, kEn)), "off|en");
    EXPECT_EQ(U8(ConnectionSignature(stopped, {}, kKo)), "off|ko");
    ServiceStatus status = Running({"192.168.1.5", "10.0.0.2"}, 8443, true);
    status.upnpState = 5;
    status.upnpError = 718;
    status.externalAddress = "203.0.113.7";
    EXPECT_EQ(U8(ConnectionSignature(status, AddressChoice{true, 1}, kEn)),
              "on|8443s|i1|5|718|203.0.113.7|192.168.1.5|10.0.0.2|en");
}

TEST(ConnectionViewTest, ScopeMenuAndLocalAddressChoice) {
    const AddressChoice local{false, 0};
    auto one = ScopeMenuItems({u"http://192.168.1.5:8080"}, local, kEn);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].id, 1u);
    EXPECT_EQ(U8(one[0].text), "This network");
    EXPECT_TRUE(one[0].checked);
    EXPECT_EQ(one[1].id, kInternetScopeItem);
    EXPECT_FALSE(one[1].checked);

    auto two = ScopeMenuItems({u"http://192.168.1.5:8080", u"http://10.0.0.2:8080"},
                              AddressChoice{false, 1}, kEn);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(U8(two[1].text), "This network: http://10.0.0.2:8080");
    EXPECT_FALSE(two[0].checked);
    EXPECT_TRUE(two[1].checked);
    EXPECT_FALSE(two[2].checked);
    auto internet = ScopeMenuItems({u"a", u"b"}, AddressChoice{true, 1}, kEn);
    EXPECT_FALSE(internet[1].checked);
    EXPECT_TRUE(internet[2].checked);

    const AddressChoice chosen = ChooseScopeItem(AddressChoice{false, 0}, 2);
    EXPECT_FALSE(chosen.internetScope);
    EXPECT_EQ(chosen.lanIndex, 1u);
    const AddressChoice toInternet = ChooseScopeItem(chosen, kInternetScopeItem);
    EXPECT_TRUE(toInternet.internetScope);
    EXPECT_EQ(toInternet.lanIndex, 1u);

    // An index past a shrunken list falls back to the first address.
    const ServiceStatus status = Running({"192.168.1.5"});
    EXPECT_EQ(U8(ChosenAddress(status, AddressChoice{false, 3})), "http://192.168.1.5:8080");
    EXPECT_EQ(U8(ChosenAddress(status, AddressChoice{true, 0})), "");
    EXPECT_EQ(ClampLanIndex(3, 1), 0u);
    EXPECT_EQ(ClampLanIndex(1, 2), 1u);
}

Config WithShares(std::initializer_list<const char16_t*> names) {
    Config config;
    int n = 0;
    for (const char16_t* name : names) {
        Share share;
        share.id = "id" + std::to_string(n++);
        share.name = name;
        config.shares.push_back(share);
    }
    return config;
}

TEST(ShareNamingTest, ProposesACleanUniqueName) {
    const Config config = WithShares({u"Photos", u"photos 2", u"Music"});
    struct Case {
        std::u16string path;
        std::string expected;
    };
    const std::vector<Case> cases{
        {u"/home/u/Photos/", "Photos 3"},
        {u"/home/u/Videos//", "Videos"},
        {u"/srv/a:b*c?d", "abcd"},
        {u"/srv/..name..", "name"},
        {u"/srv/. name", "Share"}, // dots go after the spaces, which leaves a space
        {u"/srv/...", "Share"},
        {u"/srv/:*?", "Share"},
        {u"/", "Share"},
        {u"/srv/사진 모음", "\xEC\x82\xAC\xEC\xA7\x84 \xEB\xAA\xA8\xEC\x9D\x8C"},
        {u"/srv/" + std::u16string(70, u'x'), std::string(60, 'x')},
        {u"/srv/tab\tname", "tabname"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U8(UniqueShareName(config, c.path)), c.expected) << U8(c.path);

    const Share share = NewShare(config, u"/data/report.pdf", true);
    EXPECT_EQ(share.id.size(), 16u);
    EXPECT_EQ(share.id.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(U8(share.name), "report.pdf");
    EXPECT_TRUE(share.file);
    EXPECT_TRUE(share.readOnly);
    EXPECT_EQ(share.guest, AccessFlags::Read);
    EXPECT_NE(NewShare(config, u"/x", false).id, share.id);
}

TEST(ShareListEditsTest, RightsTextsAndRemovingAShareEverywhere) {
    const std::vector<std::pair<std::uint32_t, std::string>> rights{{0, "None"},
                                                                    {1, "Read"},
                                                                    {2, "Read, Write"},
                                                                    {4, "Read, Delete"},
                                                                    {7, "Read, Write, Delete"},
                                                                    {8, "None"}};
    for (const auto& [mask, text] : rights)
        EXPECT_EQ(U8(RightsText(static_cast<AccessFlags>(mask), kEn)), text) << mask;

    Share readOnly;
    readOnly.readOnly = true;
    readOnly.guest = static_cast<AccessFlags>(6);
    EXPECT_EQ(ListedGuestRights(readOnly), AccessFlags::None);
    readOnly.guest = static_cast<AccessFlags>(7);
    EXPECT_EQ(ListedGuestRights(readOnly), AccessFlags::Read);

    Config config = WithShares({u"a", u"b"});
    Account account;
    account.name = u"kim";
    account.access = {{"id0", AccessFlags::Read}, {"id1", AccessFlags::Read}};
    config.accounts.push_back(account);
    EXPECT_TRUE(RemoveShare(config, "id0"));
    EXPECT_FALSE(RemoveShare(config, "id0"));
    ASSERT_EQ(config.shares.size(), 1u);
    EXPECT_EQ(config.accounts[0].access.count("id0"), 0u);
    EXPECT_EQ(config.accounts[0].access.count("id1"), 1u);

    Share renamed = config.shares[0];
    renamed.name = u"B2";
    EXPECT_TRUE(ReplaceShare(config, renamed));
    EXPECT_EQ(U8(config.shares[0].name), "B2");
    renamed.id = "gone";
    EXPECT_FALSE(ReplaceShare(config, renamed));
}

TEST(ShareCandidatesTest, KeepsFoldersAndFilesInOrder) {
    TempFolder temp;
    const auto folder = temp.path / "Photos";
    std::filesystem::create_directory(folder);
    const auto file = temp.path / "note.txt";
    std::ofstream(file) << "x";
    const auto pipe = temp.path / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto link = temp.path / "link";
    std::filesystem::create_directory_symlink(folder, link);

    const auto candidates =
        ShareCandidates({file.string(), (temp.path / "gone").string(), pipe.string(),
                         folder.string() + "/", std::string("/tmp/\xff\xfe"), "", link.string()});
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0].path, file.u16string());
    EXPECT_TRUE(candidates[0].isFile);
    EXPECT_EQ(candidates[1].path, folder.u16string() + u"/");
    EXPECT_FALSE(candidates[1].isFile);
    EXPECT_FALSE(candidates[2].isFile); // a link to a folder shares the folder
    EXPECT_TRUE(ShareCandidates({(temp.path / "gone").string()}).empty());
}

TEST(TableSourceTest, CellsOutsideTheRowsAreEmpty) {
    TableSource table;
    table.AddRow({u"kim", u"Photos (Read)"});
    table.AddRow({u"lee"});
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.CellText(0, 1), u"Photos (Read)");
    EXPECT_EQ(table.CellText(1, 1), u"");
    EXPECT_EQ(table.CellText(2, 0), u"");
    EXPECT_EQ(table.CellText(-1, 0), u"");
    EXPECT_EQ(table.CellText(0, -1), u"");
    EXPECT_EQ(table.GetRowExtra(0).icon, 0u);
    table.Clear();
    EXPECT_EQ(table.RowCount(), 0);
}

TEST(ShareFormTest, RefusesBadInputWithTheRightMessageAndField) {
    TempFolder temp;
    const auto folder = temp.path / "Photos";
    std::filesystem::create_directory(folder);
    const auto file = temp.path / "note.txt";
    std::ofstream(file) << "x";
    const std::u16string folderPath = folder.u16string();
    const std::u16string filePath = file.u16string();
    const std::u16string missing = (temp.path / "missing").u16string();

    Config config = WithShares({u"Photos", u"Music"});
    Share folderShare; // a new folder share, not in the configuration yet
    folderShare.id = "new";
    Share fileShare = folderShare;
    fileShare.file = true;
    Share existing = config.shares[0]; // "Photos", id0
    Share withPassword = folderShare;
    withPassword.password = "pbkdf2-sha256$1$00$00";

    struct Case {
        const char* what;
        const Share* share;
        ShareFormInput input;
        std::optional<TextId> message;
        ShareField field;
    };
    const auto input = [](std::u16string name, std::u16string path, bool ask = false,
                          std::u16string password = {}) {
        ShareFormInput in;
        in.name = std::move(name);
        in.path = std::move(path);
        in.askPassword = ask;
        in.password = std::move(password);
        return in;
    };
    const std::vector<Case> cases{
        {"empty name", &folderShare, input(u" \t ", folderPath), TextId::EnterName,
         ShareField::Name},
        {"invalid name", &folderShare, input(u"a/b", folderPath), TextId::InvalidShareName,
         ShareField::Name},
        {"dot at the end", &folderShare, input(u"name.", folderPath), TextId::InvalidShareName,
         ShareField::Name},
        {"taken, other case", &folderShare, input(u"  music ", folderPath), TextId::NameInUse,
         ShareField::Name},
        {"own name kept", &existing, input(u"PHOTOS", folderPath), std::nullopt, ShareField::Name},
        {"no folder", &folderShare, input(u"New", u"  "), TextId::ChooseFolderError,
         ShareField::Path},
        {"no file", &fileShare, input(u"New", u""), TextId::ChooseFileError, ShareField::Path},
        {"missing folder", &folderShare, input(u"New", missing), TextId::FolderNotFound,
         ShareField::Path},
        {"file as folder", &folderShare, input(u"New", filePath), TextId::FolderNotFound,
         ShareField::Path},
        {"folder as file", &fileShare, input(u"New", folderPath), TextId::FileNotFound,
         ShareField::Path},
        {"password asked, none set", &folderShare, input(u"New", folderPath, true),
         TextId::EnterPassword, ShareField::Password},
        {"password asked, one stored", &withPassword, input(u"New", folderPath, true), std::nullopt,
         ShareField::Name},
        {"file accepted", &fileShare, input(u"New", u" " + filePath + u" "), std::nullopt,
         ShareField::Name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto error = ValidateShareForm(config, *c.share, c.input);
        ASSERT_EQ(error.has_value(), c.message.has_value());
        if (error) {
            EXPECT_EQ(error->message, *c.message);
            EXPECT_EQ(error->field, static_cast<std::int32_t>(c.field));
        }
    }
    EXPECT_EQ(U8(Text(TextId::NameInUse, kEn)), "This name is already in use.");
}

TEST(ShareFormTest, WritesBackWhatWasConfirmed) {
    EXPECT_EQ(GuestChoiceFor(static_cast<AccessFlags>(5), false), GuestChoice::Read);
    EXPECT_EQ(GuestChoiceFor(static_cast<AccessFlags>(2), false), GuestChoice::ReadWrite);
    EXPECT_EQ(GuestChoiceFor(static_cast<AccessFlags>(6), false), GuestChoice::ReadWriteDelete);
    EXPECT_EQ(GuestChoiceFor(static_cast<AccessFlags>(7), true), GuestChoice::Read);
    EXPECT_EQ(GuestChoiceFor(AccessFlags::None, true), GuestChoice::NotOpen);
    EXPECT_EQ(UploadLimitMegabytes(1), 1);
    EXPECT_EQ(UploadLimitMegabytes(3 * kBytesPerMegabyte), 3);
    EXPECT_EQ(UploadLimitMegabytes(3 * kBytesPerMegabyte + 1), 4);
    EXPECT_EQ(U8(StoredSharePath(u"/data/photos//")), "/data/photos");
    EXPECT_EQ(U8(StoredSharePath(u"/")), "/");
    EXPECT_EQ(NameFromBrowsedPath(u"/data/Photos"), u"Photos");
    EXPECT_EQ(NameFromBrowsedPath(u"/data/.hidden"), std::nullopt);

    Share share;
    share.id = "s";
    share.guest = static_cast<AccessFlags>(5);
    share.password = "stored-hash";
    ShareFormInput input;
    input.name = u" Data ";
    input.path = u"/data/ ";
    input.guest = GuestChoiceFor(share.guest, false);
    input.askPassword = true;
    input.uploadMegabytes = 2;
    ASSERT_TRUE(ApplyShareForm(share, input));
    EXPECT_EQ(U8(share.name), "Data");
    EXPECT_EQ(U8(share.path), "/data");
    EXPECT_EQ(share.guest, AccessFlags::Read); // read and delete shows and saves as read
    EXPECT_EQ(share.password, "stored-hash");  // an empty box keeps the hash
    EXPECT_EQ(share.maxUploadBytes, 2 * kBytesPerMegabyte);

    input.askPassword = false;
    ASSERT_TRUE(ApplyShareForm(share, input));
    EXPECT_TRUE(share.password.empty());

    input.askPassword = true;
    input.password = u"비밀 pass";
    input.guest = GuestChoice::ReadWriteDelete;
    ASSERT_TRUE(ApplyShareForm(share, input));
    EXPECT_TRUE(Velto::Corvane::VerifyPassword(share.password, "\xEB\xB9\x84\xEB\xB0\x80 pass"));
    EXPECT_NE(share.password.find("$600000$"), std::string::npos);
    EXPECT_EQ(share.guest, static_cast<AccessFlags>(7));

    Share file;
    file.file = true;
    input.password.clear();
    input.readOnly = false;
    ASSERT_TRUE(ApplyShareForm(file, input));
    EXPECT_TRUE(file.readOnly);
    EXPECT_EQ(file.guest, AccessFlags::Read); // a file is never writable
    EXPECT_EQ(file.maxUploadBytes, 0);
}

TEST(AccountFormTest, ValidatesNamesAndPasswords) {
    Config config;
    Account kim;
    kim.name = u"Kim";
    kim.password = "hash-kim";
    Account lee;
    lee.name = u"lee";
    config.accounts = {kim, lee};
    const auto input = [](std::u16string name, std::u16string password = {},
                          std::u16string confirmation = {}) {
        AccountFormInput in;
        in.name = std::move(name);
        in.password = std::move(password);
        in.confirmation = std::move(confirmation);
        return in;
    };
    struct Case {
        const char* what;
        const Account* account;
        bool isNew;
        AccountFormInput input;
        std::optional<TextId> message;
        AccountField field;
    };
    Account fresh;
    const std::vector<Case> cases{
        {"empty", &fresh, true, input(u" "), TextId::EnterName, AccountField::Name},
        {"colon", &fresh, true, input(u"a:b", u"p", u"p"), TextId::NameNoColon, AccountField::Name},
        {"new, same name other case", &fresh, true, input(u"KIM", u"p", u"p"),
         TextId::AccountExists, AccountField::Name},
        {"edit, renamed onto another", &kim, false, input(u"Lee"), TextId::AccountExists,
         AccountField::Name},
        {"edit, re-cased own name", &kim, false, input(u"KIM"), std::nullopt, AccountField::Name},
        {"new without password", &fresh, true, input(u"park"), TextId::EnterPassword,
         AccountField::Password},
        {"confirmation differs", &fresh, true, input(u"park", u"secret", u"Secret"),
         TextId::PasswordsDiffer, AccountField::Confirmation},
        {"edit, confirmation missing", &kim, false, input(u"Kim", u"new"), TextId::PasswordsDiffer,
         AccountField::Confirmation},
        {"new accepted", &fresh, true, input(u" park ", u"secret", u"secret"), std::nullopt,
         AccountField::Name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto error = ValidateAccountForm(config, *c.account, c.isNew, c.input);
        ASSERT_EQ(error.has_value(), c.message.has_value());
        if (error) {
            EXPECT_EQ(error->message, *c.message);
            EXPECT_EQ(error->field, static_cast<std::int32_t>(c.field));
        }
    }
    EXPECT_EQ(U8(Text(TextId::NameNoColon, kEn)), "A name cannot contain a colon (:).");
}

TEST(AccountFormTest, RightsRowsHangTogetherAndAreStoredNormalised) {
    Config config = WithShares({u"a", u"b", u"c", u"d"});
    Account account;
    account.name = u"kim";
    account.password = "hash";
    account.access = {{"id0", static_cast<AccessFlags>(4)},
                      {"id2", AccessFlags::Read},
                      {"gone", AccessFlags::Read}};
    std::vector<RightsRow> rows = RightsRowsFor(config, account);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[0].read && !rows[0].write && rows[0].remove); // 4 shows as read and delete
    EXPECT_FALSE(rows[1].read);

    rows[2].SetRead(true);
    rows[2].SetWrite(true);
    rows[2].SetRead(false); // takes write and delete with it
    EXPECT_FALSE(rows[2].write || rows[2].remove);
    rows[1].SetRemove(true); // brings read along
    EXPECT_TRUE(rows[1].read);
    rows[3].write = true; // a row whose read box was never checked
    AccountFormInput input;
    input.name = u"kim";
    input.rights = rows;
    ASSERT_TRUE(ApplyAccountForm(config, account, input));
    EXPECT_EQ(account.password, "hash");
    const std::map<std::string, AccessFlags> expected{
        {"id0", static_cast<AccessFlags>(5)},
        {"id1", static_cast<AccessFlags>(5)},
        {"id3", static_cast<AccessFlags>(3)},
    };
    EXPECT_EQ(account.access, expected);
}

TEST(ServiceWorkerTest, RunsTasksInOrderAndFinishesThemBeforeItGoes) {
    std::vector<int> order;
    {
        ServiceWorker worker;
        for (int i = 0; i < 50; ++i)
            worker.Run([&order, i] { order.push_back(i); });
        worker.Drain();
        EXPECT_EQ(order.size(), 50u);
        worker.Run([&order] { order.push_back(50); });
    }
    ASSERT_EQ(order.size(), 51u);
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(order[i], i);
}

using ConfigEditTest = Velto::Corvane::Testing::ServiceFixture;

TEST_F(ConfigEditTest, ChangesKeepWhatTheServiceWroteMeanwhile) {
    auto& service = MakeService();
    Config config = BaseConfig(Velto::Corvane::Testing::FreeLoopbackPort());
    config.https = true;
    ASSERT_TRUE(service.ApplyConfig(config));
    const Config before = service.GetConfig(); // a copy from before the start
    ASSERT_TRUE(before.selfSignedThumbprint.empty());

    ASSERT_EQ(service.Start(), 0);
    const std::u16string thumbprint = service.GetConfig().selfSignedThumbprint;
    ASSERT_FALSE(thumbprint.empty());

    const ConfigEditResult added = EditConfiguration(service, [&](Config& current) {
        current.shares.push_back(NewShare(current, Files().u16string(), false));
        return true;
    });
    EXPECT_TRUE(added.applied);
    EXPECT_TRUE(added.saved);
    EXPECT_EQ(added.shares, 2u);
    const Config saved = SavedConfig();
    EXPECT_EQ(saved.selfSignedThumbprint, thumbprint);
    ASSERT_EQ(saved.shares.size(), 2u);
    EXPECT_EQ(U8(saved.shares[1].name), U8(Files().filename().u16string()));
    EXPECT_EQ(service.GetStatus().state, ServiceStatus::Running);

    // An edit of a share that disappeared changes nothing.
    const ConfigEditResult missing =
        EditConfiguration(service, [](Config& current) { return RemoveShare(current, "nope"); });
    EXPECT_FALSE(missing.applied);
    service.Stop();
}

} // namespace
} // namespace App

namespace App {
namespace {

// The window's share actions against a real service: posted outcomes are
// run by the test as the window's loop would, dialogs answer as scripted.
class ShareActionsTest : public Velto::Corvane::Testing::ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        auto& service = MakeService();
        ASSERT_TRUE(service.ApplyConfig(BaseConfig(Velto::Corvane::Testing::FreeLoopbackPort())));
        m_commands = std::make_unique<ServiceCommands>(service, [this](std::function<void()> task) {
            const std::lock_guard lock(m_mutex);
            m_posted.push_back(std::move(task));
        });
        ShareActions::Hooks hooks;
        hooks.editShare = [this](const Config& config, Share& share, bool isNew) {
            dialogs.push_back({U8(share.name), isNew});
            // The dialog refuses names other shares already have.
            if (!dialogAnswer)
                return false;
            if (renameTo)
                share.name = *renameTo;
            ShareFormInput input;
            input.name = share.name;
            input.path = share.path;
            input.guest = GuestChoiceFor(share.guest, share.file);
            input.readOnly = share.readOnly;
            if (ValidateShareForm(config, share, input))
                return false;
            return ApplyShareForm(share, input);
        };
        hooks.ask = [this](const std::u16string&, const std::u16string& text) {
            questions.push_back(U8(text));
            return true;
        };
        hooks.inform = [this](const std::u16string& text) { messages.push_back(U8(text)); };
        hooks.showError = [this](const std::u16string& text) { errors.push_back(U8(text)); };
        hooks.trace = [this](std::string_view line) { traces.emplace_back(line); };
        hooks.changed = [this] { ++changes; };
        m_actions = std::make_unique<ShareActions>(*m_commands, kEn, hooks);
    }
    void TearDown() override {
        m_actions.reset();
        m_commands.reset();
        ServiceFixture::TearDown();
    }

    // Waits for the worker and runs what it posted back.
    void Settle() {
        m_commands->Drain();
        std::vector<std::function<void()>> tasks;
        {
            const std::lock_guard lock(m_mutex);
            tasks.swap(m_posted);
        }
        for (auto& task : tasks)
            task();
    }

    struct DialogCall {
        std::string name;
        bool isNew;
    };
    std::vector<DialogCall> dialogs;
    bool dialogAnswer{true};
    std::optional<std::u16string> renameTo;
    std::vector<std::string> questions, messages, errors, traces;
    int changes{0};
    std::unique_ptr<ServiceCommands> m_commands;
    std::unique_ptr<ShareActions> m_actions;

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_posted;
};

TEST_F(ShareActionsTest, DroppedFoldersBecomeSharesWithUniqueNames) {
    TempFolder temp;
    std::filesystem::create_directories(temp.path / "a/Photos");
    std::filesystem::create_directories(temp.path / "b/Photos");
    std::ofstream(temp.path / "list.txt") << "x";
    // Both dialogs open before either change came back from the service.
    m_actions->AddPaths({(temp.path / "a/Photos/").string(), (temp.path / "missing").string(),
                         (temp.path / "b/Photos").string(), (temp.path / "list.txt").string()});
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[0].name, "Photos");
    EXPECT_EQ(dialogs[1].name, "Photos 2");
    EXPECT_EQ(dialogs[2].name, "list.txt");
    Settle();
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(errors.empty());
    ASSERT_FALSE(traces.empty());
    EXPECT_EQ(traces.back(), "config applied shares=4 accounts=0");

    const Config saved = SavedConfig();
    ASSERT_EQ(saved.shares.size(), 4u);
    EXPECT_EQ(U8(saved.shares[1].name), "Photos");
    EXPECT_EQ(U8(saved.shares[1].path), (temp.path / "a/Photos").string());
    EXPECT_FALSE(saved.shares[1].file);
    EXPECT_EQ(U8(saved.shares[2].name), "Photos 2");
    EXPECT_TRUE(saved.shares[3].file);
    EXPECT_TRUE(saved.shares[3].readOnly);

    dialogs.clear();
    m_actions->AddPaths({(temp.path / "missing").string()});
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(messages, std::vector<std::string>{U8(Text(TextId::NothingShareableDropped, kEn))});
}

TEST_F(ShareActionsTest, EditAndStopSharingReachConfigJson) {
    // An account with rights on the share that goes away.
    EditConfiguration(Service(), [](Config& config) {
        Account account;
        account.name = u"kim";
        account.password = "hash";
        account.access = {{"0123456789abcdef", AccessFlags::Read}};
        config.accounts.push_back(account);
        return true;
    });
    renameTo = u"papers";
    m_actions->EditShare("0123456789abcdef");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].isNew);
    Settle();
    EXPECT_EQ(U8(SavedConfig().shares[0].name), "papers");

    m_actions->EditShare("no-such-share");
    EXPECT_EQ(dialogs.size(), 1u);

    m_actions->StopSharing("0123456789abcdef");
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("papers"), std::string::npos);
    Settle();
    const Config saved = SavedConfig();
    EXPECT_TRUE(saved.shares.empty());
    ASSERT_EQ(saved.accounts.size(), 1u);
    EXPECT_TRUE(saved.accounts[0].access.empty());
}

TEST_F(ShareActionsTest, AFailedSaveIsReportedAndTheChangeStillApplies) {
    TempFolder temp;
    std::filesystem::remove(ConfigPath());
    std::filesystem::create_directory(ConfigPath()); // nothing can be written in its place
    m_actions->AddShare(temp.path.u16string(), false);
    Settle();
    EXPECT_EQ(errors, std::vector<std::string>{U8(Text(TextId::SettingsNotSaved, kEn))});
    EXPECT_EQ(Service().GetConfig().shares.size(), 2u);
    EXPECT_EQ(changes, 1);

    dialogAnswer = false; // cancelled: nothing changes
    m_actions->AddShare(temp.path.u16string(), false);
    Settle();
    EXPECT_EQ(changes, 1);
}

} // namespace
} // namespace App
