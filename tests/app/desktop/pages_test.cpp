// The accounts, access-log and settings pages on a headless host over a real
// service: changes reach config.json, the log follows the service's access
// log, the settings' checks hold, and every page is drawn in both languages
// and both colour schemes (PNG files in shots/).

#include "app/desktop/accounts/accounts_page.h"
#include "app/desktop/log/access_log_page.h"
#include "app/desktop/main_window.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "config/secret_protection.h"
#include "server/cert/self_signed_certificate.h"
#include "service/corvane_service.h"
#include "tests/app/desktop/headless_main_window.h"
#include "tests/app/desktop/widget_find.h"
#include "tests/support/service_fixture.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/label.h"
#include "widget/core/scroll_viewer.h"
#include "widget/input/headless_host.h"
#include "widget/list/list_view.h"
#include "widget/render/text_layout.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace App {
namespace {

using namespace App::Testing;

using namespace Velto::Widget;
using Velto::Corvane::AccessFlags;
using Velto::Corvane::AccessLogEntry;
using Velto::Corvane::Account;
using Velto::Corvane::Config;
using Velto::Widget::Controls::ComboBox;
using Velto::Widget::Controls::NumberBox;
using Velto::Widget::Controls::TextBox;
using Velto::Widget::List::ListView;

CheckBox* FindCheck(Widget& widget, std::u16string_view text) {
    if (auto* box = dynamic_cast<CheckBox*>(&widget); box && box->Text() == text)
        return box;
    for (const auto& child : widget.Children()) {
        if (CheckBox* found = FindCheck(*child, text))
            return found;
    }
    return nullptr;
}

// Every widget that is shown lies inside the window's width.
void ExpectInside(const Widget& widget, float width) {
    if (!widget.IsVisible())
        return;
    const RectF bounds = widget.BoundsInWindow();
    if (!bounds.IsEmpty()) {
        EXPECT_LE(bounds.x + bounds.width, width + 0.5f) << widget.ClassName();
    }
    for (const auto& child : widget.Children())
        ExpectInside(*child, width);
}

// Every row of the list's column shows its whole text at the column's
// default width.
void ExpectColumnFits(const ListView& list, std::size_t column) {
    const List::Column& c = list.Columns()[column];
    TextFormat format;
    format.size = list.GetTheme().bodySize;
    format.weight = kWeightRegular;
    TextOptions options;
    options.trimming = TextTrimming::CharacterEllipsis;
    for (std::int64_t row = 0; row < list.Source()->RowCount(); ++row) {
        const std::u16string_view text = list.Source()->CellText(row, c.id);
        const TextLayout layout(text, format, options, c.width - 2 * ListView::kCellInset);
        EXPECT_FALSE(layout.IsTrimmed())
            << "column " << column << " clips \"" << Velto::Utf16ToUtf8(text) << "\" at " << c.width
            << " (needs "
            << TextLayout(text, format, TextOptions{}).Size().width + 2 * ListView::kCellInset
            << ")";
    }
}

std::filesystem::path ShotFolder() {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    std::filesystem::path folder =
        std::filesystem::path(binary ? binary : ".") / "tests/app/desktop/shots";
    std::filesystem::create_directories(folder);
    return folder;
}

class PagesTest : public Testing::HeadlessMainWindowTest {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        MakeService();
        port = Velto::Corvane::Testing::FreeLoopbackPort();
        Config config = BaseConfig(port);
        Velto::Corvane::Share photos = config.shares[0];
        photos.id = "fedcba9876543210";
        photos.name = u"photos";
        photos.readOnly = true;
        config.shares.push_back(photos);
        ASSERT_TRUE(Service().ApplyConfig(config));
    }

    void Open(UiLanguage language, bool dark = false) {
        WindowServices services = HeadlessServices(dark);
        services.ask = [this](const std::u16string& title, const std::u16string& text) {
            asked.push_back(U8(title) + "|" + U8(text));
            return answer;
        };
        services.showError = [this](const std::u16string& text) { errors.push_back(U8(text)); };
        AddDialogs(services);
        MainWindow::Hooks hooks;
        hooks.onServerStateChanged = [this] { ++stateChanges; };
        hooks.onAppearanceChanged = [this, language] {
            ++lookChanges;
            // As the program does: the window is built again, later.
            if (rebuildOnNewLook) {
                const std::lock_guard lock(mutex);
                posted.push_back([this, language] { window->Rebuild(language); });
            }
        };
        window = std::make_unique<MainWindow>(Service(), std::move(services), hooks, language);
        window->Create();
        Layout();
    }

    // The account dialog, the certificate picker, the file manager and the
    // start-at-sign-in entry, as scripted.
    void AddDialogs(WindowServices& dialogs) {
        dialogs.editAccount = [this](const Config&, Account& account, bool isNew) {
            dialogOpened.push_back(isNew ? "new" : U8(account.name));
            if (!accountReply)
                return false;
            account = *accountReply;
            return true;
        };
        dialogs.pickFile = [this](const std::u16string&, const std::u16string& description,
                                  const std::u16string& patterns) {
            pickFilter = U8(description) + "|" + U8(patterns);
            return pickedFile;
        };
        dialogs.openFolder = [this](const std::string& folder) {
            openedFolder = folder;
            return true;
        };
        dialogs.isAutostartEnabled = [this] { return autostart; };
        dialogs.setAutostart = [this](bool enable) {
            if (!autostartWorks)
                return false;
            autostart = enable;
            return true;
        };
    }

    void Show(MainWindow::PageId page) {
        window->ShowPage(page);
        Pump();
    }

    std::u16string T(TextId id) const { return Text(id, window->Language()); }
    ListView& List() {
        auto* list = FindFirst<ListView>(window->Root());
        EXPECT_NE(list, nullptr);
        return *list;
    }
    std::string Cell(std::int64_t row, std::int32_t column) {
        return U8(List().Source()->CellText(row, column));
    }
    template <typename T> T& Control(std::u16string_view id) {
        T* found = FindById<T>(window->Root(), id);
        EXPECT_NE(found, nullptr) << U8(id);
        return *found;
    }

    std::vector<std::string> asked;
    std::vector<std::string> errors;
    std::vector<std::string> dialogOpened;
    std::optional<Account> accountReply;
    std::optional<std::string> pickedFile;
    std::string pickFilter;
    std::string openedFolder;
    bool answer{true};
    bool autostart{false};
    bool autostartWorks{true};
    int stateChanges{0};
    int lookChanges{0};
    bool rebuildOnNewLook{false};
};

Account MakeAccount(std::u16string name, std::map<std::string, AccessFlags> access) {
    Account account;
    account.name = std::move(name);
    account.password = "pbkdf2$stand-in";
    account.access = std::move(access);
    return account;
}

TEST(AccountPermissionsText, ListsRightsInShareOrderAndReducesReadOnlyShares) {
    Config config;
    for (const auto& [id, name, readOnly] :
         {std::tuple{"a", u"docs", false}, std::tuple{"b", u"photos", true},
          std::tuple{"c", u"music", false}}) {
        Velto::Corvane::Share share;
        share.id = id;
        share.name = name;
        share.readOnly = readOnly;
        config.shares.push_back(share);
    }
    struct Case {
        std::map<std::string, AccessFlags> access;
        std::string en;
    };
    const Case cases[] = {
        {{}, "None"},
        {{{"a", AccessFlags::None}, {"gone", AccessFlags::Read}}, "None"},
        // Share order, not map order; Write alone normalises to Read and Write.
        {{{"c", AccessFlags::Read}, {"a", AccessFlags::Write}},
         "docs (Read, Write) \xC2\xB7 music (Read)"},
        {{{"b", AccessFlags::Write | AccessFlags::Delete}}, "photos (Read)"},
    };
    for (const Case& entry : cases) {
        const Account account = MakeAccount(u"ann", entry.access);
        EXPECT_EQ(U8(AccountPermissionsText(config, account, UiLanguage::English)), entry.en);
    }
    EXPECT_EQ(U8(AccountPermissionsText(config, MakeAccount(u"ann", {}), UiLanguage::Korean)),
              U8(Text(TextId::PermissionsNone, UiLanguage::Korean)));
}

TEST(AccessLogRow, MapsActionsResultsAndSizes) {
    AccessLogEntry entry;
    entry.time = 0;
    entry.address = "192.168.1.20";
    entry.action = "download";
    entry.detail = u"/docs/a.txt";
    entry.result = 200;
    entry.size = 1536;
    auto row = AccessLogRow(entry, UiLanguage::English);
    ASSERT_EQ(row.size(), 7u);
    EXPECT_EQ(U8(row[1]), "192.168.1.20");
    EXPECT_EQ(U8(row[2]), "Guest");
    EXPECT_EQ(U8(row[3]), "Download");
    EXPECT_EQ(U8(row[4]), "/docs/a.txt");
    EXPECT_EQ(U8(row[5]), "Done");
    EXPECT_EQ(U8(row[6]), "1.5 KB");

    entry.user = u"ann";
    entry.action = "somethingNew";
    entry.result = 404;
    entry.size = 0;
    row = AccessLogRow(entry, UiLanguage::English);
    EXPECT_EQ(U8(row[2]), "ann");
    EXPECT_EQ(U8(row[3]), "somethingNew");
    EXPECT_EQ(U8(row[5]), "Failed (404)");
    EXPECT_EQ(U8(row[6]), "");

    const std::pair<const char*, TextId> actions[] = {
        {"login", TextId::ActionSignIn},
        {"loginFailed", TextId::ActionFailedSignIn},
        {"unlockFailed", TextId::ActionWrongSharePassword},
        {"upload", TextId::ActionUpload},
        {"newFolder", TextId::ActionNewFolder},
        {"rename", TextId::ActionRename},
        {"delete", TextId::ActionDelete},
        {"zip", TextId::ActionZipDownload}};
    for (const auto& [name, id] : actions)
        EXPECT_EQ(AccessLogActionText(name, UiLanguage::Korean), Text(id, UiLanguage::Korean));
    // 199 and 300 are outside the successful range.
    for (const std::int32_t status : {199, 300}) {
        entry.result = status;
        EXPECT_EQ(U8(AccessLogRow(entry, UiLanguage::English)[5]),
                  "Failed (" + std::to_string(status) + ")");
    }
}

TEST_F(PagesTest, AccountsAreAddedEditedAndDeletedThroughTheService) {
    Open(UiLanguage::English);
    Show(MainWindow::kAccountsPage);
    EXPECT_EQ(U8(List().EmptyText()),
              "There are no accounts. Without accounts, everyone visits as a guest.");
    EXPECT_EQ(List().Source()->RowCount(), 0);
    EXPECT_FALSE(Control<Button>(u"accounts.edit").IsEnabled());
    EXPECT_FALSE(Control<Button>(u"accounts.delete").IsEnabled());

    // Edit and delete with nothing selected do nothing.
    Control<Button>(u"accounts.edit").Click();
    Pump();
    EXPECT_TRUE(dialogOpened.empty());

    // A cancelled dialog adds nothing.
    Control<Button>(u"accounts.add").Click();
    Pump();
    ASSERT_EQ(dialogOpened, std::vector<std::string>{"new"});
    EXPECT_TRUE(SavedConfig().accounts.empty());

    accountReply = MakeAccount(u"ann", {{"0123456789abcdef", AccessFlags::Write}});
    Control<Button>(u"accounts.add").Click();
    Pump();
    accountReply = MakeAccount(u"bob", {{"fedcba9876543210", AccessFlags::Write}});
    Control<Button>(u"accounts.add").Click();
    Pump();
    ASSERT_EQ(SavedConfig().accounts.size(), 2u);
    ASSERT_EQ(List().Source()->RowCount(), 2);
    EXPECT_EQ(Cell(0, 0), "ann");
    EXPECT_EQ(Cell(0, 1), "docs (Read, Write)");
    EXPECT_EQ(Cell(1, 1), "photos (Read)");
    // The added account is selected, so edit and delete are on.
    EXPECT_EQ(List().Selection().FirstSelected(), 1);
    EXPECT_TRUE(Control<Button>(u"accounts.edit").IsEnabled());

    // Edit opens the selected account; a rename replaces it in place.
    List().SelectOnly(0);
    accountReply = MakeAccount(u"anna", {});
    Control<Button>(u"accounts.edit").Click();
    Pump();
    EXPECT_EQ(dialogOpened.back(), "ann");
    Config saved = SavedConfig();
    ASSERT_EQ(saved.accounts.size(), 2u);
    EXPECT_EQ(U8(saved.accounts[0].name), "anna");
    EXPECT_EQ(Cell(0, 1), "None");

    // A double click on a row edits that account.
    accountReply.reset();
    const RectF box = List().BoundsInWindow();
    PointerEvent press;
    press.position = PointF{box.x + 60, box.y + box.height - 40};
    press.button = PointerButton::Left;
    press.clickCount = 2;
    List().SelectOnly(1);
    Pump();
    // Below the rows: nothing to edit.
    List().OnPointerDown(press);
    List().OnPointerUp(press);
    Pump();
    EXPECT_EQ(dialogOpened.back(), "ann");
    const float rowY = box.y + List().RowsArea().y + List().RowHeight() / 2;
    press.position = PointF{box.x + 60, rowY};
    List().OnPointerDown(press);
    List().OnPointerUp(press);
    Pump();
    EXPECT_EQ(dialogOpened.back(), "anna");

    // Delete asks first; No keeps it, Yes removes it.
    List().SelectOnly(1);
    answer = false;
    Control<Button>(u"accounts.delete").Click();
    Pump();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Delete|" + U8(Format(TextId::ConfirmDeleteAccount, UiLanguage::English, {u"bob"})));
    EXPECT_EQ(SavedConfig().accounts.size(), 2u);
    answer = true;
    Control<Button>(u"accounts.delete").Click();
    Pump();
    saved = SavedConfig();
    ASSERT_EQ(saved.accounts.size(), 1u);
    EXPECT_EQ(U8(saved.accounts[0].name), "anna");
    EXPECT_EQ(List().Source()->RowCount(), 1);
    EXPECT_FALSE(Control<Button>(u"accounts.delete").IsEnabled());
}

TEST_F(PagesTest, TheLogListsNewestFirstFollowsNewEntriesAndClearsOnlyTheList) {
    Open(UiLanguage::English);
    Show(MainWindow::kLogPage);
    EXPECT_EQ(U8(List().EmptyText()), "Nothing has been logged yet.");
    EXPECT_TRUE(Control<Button>(u"log.openFolder").IsEnabled());
    Control<Button>(u"log.openFolder").Click();
    EXPECT_EQ(openedFolder, Service().Log().LogsFolder());

    auto append = [this](std::string action, std::u16string path, std::int32_t result) {
        AccessLogEntry entry;
        entry.address = "127.0.0.1";
        entry.action = std::move(action);
        entry.detail = std::move(path);
        entry.result = result;
        entry.size = 10;
        Service().Log().Append(std::move(entry));
    };
    append("download", u"/docs/one.txt", 200);
    append("download", u"/docs/missing.txt", 404);
    // The window's status refresh picks new entries up.
    window->Refresh();
    ASSERT_EQ(List().Source()->RowCount(), 2);
    EXPECT_EQ(Cell(0, 4), "/docs/missing.txt");
    EXPECT_EQ(Cell(0, 5), "Failed (404)");
    EXPECT_EQ(Cell(1, 4), "/docs/one.txt");

    // A refresh with nothing new keeps the selection.
    List().SelectOnly(1);
    window->Refresh();
    EXPECT_EQ(List().Selection().FirstSelected(), 1);

    Control<Button>(u"log.clear").Click();
    EXPECT_EQ(List().Source()->RowCount(), 0);
    append("upload", u"/docs/new.txt", 201);
    window->Refresh();
    ASSERT_EQ(List().Source()->RowCount(), 1);
    EXPECT_EQ(Cell(0, 3), "Upload");

    // The daily file keeps all three lines.
    Service().Log().Flush();
    std::size_t lines = 0;
    for (const auto& file : std::filesystem::directory_iterator(Service().Log().LogsFolder())) {
        std::ifstream in(file.path());
        std::string line;
        while (std::getline(in, line))
            ++lines;
    }
    EXPECT_EQ(lines, 3u);
}

TEST_F(PagesTest, SettingsApplyPortAndLookAndKeepThePfxPassword) {
    const std::optional<std::string> stored = Velto::Corvane::ProtectSecret("old secret");
    ASSERT_TRUE(stored);
    Config config = Service().GetConfig();
    config.pfxPassword = *stored;
    ASSERT_TRUE(Service().ApplyConfig(config));

    Open(UiLanguage::English);
    Show(MainWindow::kSettingsPage);
    auto& portBox = Control<NumberBox>(u"settings.port");
    EXPECT_EQ(portBox.GetValue(), port);
    // Controls are named after their labels, without the colon.
    EXPECT_EQ(U8(portBox.AccessibleName()), "Port");
    EXPECT_EQ(U8(Control<TextBox>(u"settings.pfxPath").AccessibleName()), "PFX file");
    auto& password = Control<TextBox>(u"settings.pfxPassword");
    EXPECT_EQ(U8(password.Placeholder()), "Leave empty to keep it");
    // HTTPS off: the certificate choice and the PFX row are off too.
    EXPECT_FALSE(Control<ComboBox>(u"settings.certificate").IsEnabled());
    EXPECT_FALSE(Control<TextBox>(u"settings.pfxPath").IsEnabled());

    // Only the port: saved, no new look.
    const std::uint16_t newPort = Velto::Corvane::Testing::FreeLoopbackPort();
    portBox.SetValue(newPort);
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(SavedConfig().port, newPort);
    EXPECT_EQ(SavedConfig().pfxPassword, *stored);
    EXPECT_EQ(lookChanges, 0);
    EXPECT_EQ(stateChanges, 1);
    EXPECT_EQ(U8(Control<Label>(u"settings.status").Text()), "Settings saved.");

    // Only the colours: a new look.
    Control<ComboBox>(u"settings.theme").SetSelectedIndex(2);
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(U8(SavedConfig().theme), "dark");
    EXPECT_EQ(lookChanges, 1);

    // HTTPS with a PFX file but no path: nothing is applied.
    CheckBox* https = FindCheck(window->Root(), T(TextId::UseHttps));
    ASSERT_NE(https, nullptr);
    https->Click();
    Control<ComboBox>(u"settings.certificate").SetSelectedIndex(1);
    EXPECT_TRUE(Control<TextBox>(u"settings.pfxPath").IsEnabled());
    Control<TextBox>(u"settings.pfxPath").SetText(u" \t ");
    Control<TextBox>(u"settings.pfxPassword").SetText(u"new secret");
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(U8(Control<Label>(u"settings.status").Text()), "Choose a PFX file.");
    EXPECT_FALSE(SavedConfig().https);
    EXPECT_EQ(SavedConfig().pfxPassword, *stored);

    // The picker fills the path; Apply stores the new password and empties the box.
    pickedFile = (Files() / "server.pfx").string();
    Control<Button>(u"settings.browse").Click();
    Pump();
    EXPECT_EQ(pickFilter, "Certificate files (*.pfx, *.p12)|*.pfx;*.p12");
    EXPECT_EQ(U8(Control<TextBox>(u"settings.pfxPath").GetText()), *pickedFile);
    Control<Button>(u"settings.apply").Click();
    Pump();
    Config saved = SavedConfig();
    EXPECT_TRUE(saved.https);
    EXPECT_EQ(saved.certificate, Velto::Corvane::CertificateKind::Pfx);
    EXPECT_EQ(U8(saved.pfxPath), *pickedFile);
    EXPECT_EQ(Velto::Corvane::UnprotectSecret(saved.pfxPassword), "new secret");
    EXPECT_TRUE(Control<TextBox>(u"settings.pfxPassword").GetText().empty());
    EXPECT_EQ(lookChanges, 1);
}

// Apply shows its outcome where the user looks: scrolled into view when the
// page had moved it away, and on the page built again for a new look, which
// keeps the scroll position.
TEST_F(PagesTest, SettingsShowTheOutcomeInViewAndKeepTheirPlaceAcrossANewLook) {
    rebuildOnNewLook = true;
    Open(UiLanguage::English);
    Show(MainWindow::kSettingsPage);
    const auto scroller = [this] {
        ScrollViewer* found = FindFirst<ScrollViewer>(window->Root());
        EXPECT_NE(found, nullptr);
        return found;
    };
    const auto statusInView = [&] {
        const RectF view = scroller()->BoundsInWindow();
        const RectF status = Control<Label>(u"settings.status").BoundsInWindow();
        return status.y >= view.y && status.Bottom() <= view.Bottom() + 0.5f;
    };
    ASSERT_GT(scroller()->Extent().height, scroller()->Viewport().height + 100)
        << "the page must scroll for this test";

    // At the top, Apply (by its access key or from a script) is out of view.
    scroller()->ScrollTo(0, 0);
    Layout();
    ASSERT_FALSE(statusInView());
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(U8(Control<Label>(u"settings.status").Text()), "Settings saved.");
    EXPECT_TRUE(statusInView()) << "offset " << scroller()->Offset().y;

    // A new colour scheme rebuilds the page: same place, outcome shown.
    const float before = scroller()->Offset().y;
    ASSERT_GT(before, 0);
    Control<ComboBox>(u"settings.theme").SetSelectedIndex(2);
    Control<Button>(u"settings.apply").Click();
    Pump();
    ASSERT_EQ(lookChanges, 1);
    EXPECT_FLOAT_EQ(scroller()->Offset().y, before);
    EXPECT_EQ(U8(Control<Label>(u"settings.status").Text()), "Settings saved.");
    EXPECT_TRUE(statusInView());
}

TEST_F(PagesTest, SettingsReportAFailedSignInEntryAndApplyTheRest) {
    autostartWorks = false;
    Open(UiLanguage::Korean);
    Show(MainWindow::kSettingsPage);
    CheckBox* signIn = FindCheck(window->Root(), T(TextId::RunAtSignIn));
    CheckBox* hidden = FindCheck(window->Root(), T(TextId::ShowHiddenFiles));
    ASSERT_NE(signIn, nullptr);
    ASSERT_NE(hidden, nullptr);
    signIn->Click();
    hidden->Click();
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(errors, std::vector<std::string>{U8(T(TextId::RunAtSignInFailed))});
    EXPECT_TRUE(SavedConfig().showHidden);

    // Working registration: no error, the entry follows the box.
    autostartWorks = true;
    Show(MainWindow::kSettingsPage);
    FindCheck(window->Root(), T(TextId::RunAtSignIn))->Click();
    Control<Button>(u"settings.apply").Click();
    Pump();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(autostart);
}

TEST_F(PagesTest, PagesStayInsideTheWindowInBothLanguagesAndSchemes) {
    // Something in every table.
    Config config = Service().GetConfig();
    config.accounts.push_back(MakeAccount(u"ann", {{"0123456789abcdef", AccessFlags::Write}}));
    config.accounts.push_back(MakeAccount(u"bob", {}));
    // Running with HTTPS, so that the settings show the certificate.
    config.https = true;
    ASSERT_TRUE(Service().ApplyConfig(config));
    ASSERT_EQ(Service().Start(), 0);
    AccessLogEntry entry;
    entry.address = "192.168.0.7";
    entry.action = "download";
    entry.detail = u"/docs/report.pdf";
    entry.result = 200;
    entry.size = 123456;
    Service().Log().Append(entry);
    entry.action = "loginFailed";
    entry.user = u"mallory";
    entry.result = 401;
    entry.size = 0;
    Service().Log().Append(entry);
    entry.action = "unlockFailed";
    entry.result = 403;
    Service().Log().Append(entry);

    const std::pair<MainWindow::PageId, const char*> pages[] = {
        {MainWindow::kAccountsPage, "accounts"},
        {MainWindow::kLogPage, "log"},
        {MainWindow::kSettingsPage, "settings"}};
    for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English}) {
        for (const bool dark : {false, true}) {
            Open(language, dark);
            for (const auto& [page, name] : pages) {
                const std::string shot = std::string(name) + "-" +
                                         (IsKorean(language) ? "ko" : "en") +
                                         (dark ? "-dark" : "-light");
                SCOPED_TRACE(shot);
                Show(page);
                // The settings page scrolls; its picture shows all of it.
                const SizeF size =
                    page == MainWindow::kSettingsPage ? SizeF{kSize.width, 1240} : kSize;
                ASSERT_EQ(host->RenderToPng(size, (ShotFolder() / (shot + ".png")).string()), 0);
                ExpectInside(window->Root(), kSize.width);
                // The log's time, action and result show whole at the default widths.
                if (page == MainWindow::kLogPage) {
                    for (const std::size_t column : {0, 3, 5})
                        ExpectColumnFits(List(), column);
                }
                if (page == MainWindow::kSettingsPage) {
                    const Label* fingerprint =
                        FindById<Label>(window->Root(), u"settings.fingerprint");
                    ASSERT_NE(fingerprint, nullptr);
                    EXPECT_EQ(fingerprint->Text(),
                              Velto::Corvane::FormatFingerprint(Service().GetStatus().thumbprint));
                }
            }
        }
    }
}

} // namespace
} // namespace App

namespace App {
namespace {

// The WebDAV hint says that plain HTTP carries the password readably; in a
// narrow window it wraps onto more lines instead of losing that warning.
TEST_F(PagesTest, TheWebDavHintShowsWholeInANarrowWindow) {
    ASSERT_EQ(Service().Start(), 0);
    for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English}) {
        SCOPED_TRACE(IsKorean(language) ? "ko" : "en");
        Open(language);
        Show(MainWindow::kHomePage);
        const std::u16string warning = T(TextId::DavPlainHttp);
        const SizeF narrow{640, kSize.height};
        host->Layout(narrow);
        const Label* hint = FindInTree<Label>(&window->Root(), [&](const Widget& widget) {
            const auto* label = dynamic_cast<const Label*>(&widget);
            return label != nullptr && label->Text().find(warning) != std::u16string::npos;
        });
        ASSERT_NE(hint, nullptr);
        ASSERT_NE(hint->Layout(), nullptr);
        EXPECT_FALSE(hint->Layout()->IsTrimmed());
        EXPECT_GT(hint->Layout()->LineCount(), 1);
        ExpectInside(window->Root(), narrow.width);
    }
}

} // namespace
} // namespace App
