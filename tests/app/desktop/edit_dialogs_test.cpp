// The share and account dialogs' forms on a headless host: refused input is
// named in the error line with the focus on its field, accepted input is
// written back, and the rights boxes hang together.

#include "app/desktop/accounts/account_dialog_content.h"
#include "app/desktop/shares/share_dialog_content.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "config/password_hash.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/border.h"
#include "widget/core/label.h"
#include "widget/input/headless_host.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Corvane::AccessFlags;
using Velto::Corvane::Account;
using Velto::Corvane::Config;
using Velto::Corvane::Share;

constexpr UiLanguage kEn = UiLanguage::English;
constexpr SizeF kDialogSize{520, 640};

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-dialogs-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

std::filesystem::path ShotFolder() {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    auto folder = std::filesystem::path(binary ? binary : ".") / "tests/app/desktop/shots";
    std::filesystem::create_directories(folder);
    return folder;
}

template <typename Form> std::string U8Title(const Form& form) {
    return Velto::Utf16ToUtf8(form.Title());
}

// A form's content in a window-coloured root on its own host.
struct Shown {
    explicit Shown(std::unique_ptr<Widget> content,
                   const Theme& theme = LightTheme(kDefaultAccent)) {
        root.SetBackground(BorderBackground::WindowBackground);
        root.SetPadding(Thickness{24, 24, 24, 24});
        root.AddChild(std::move(content));
        host = std::make_unique<HeadlessHost>(root, theme, 1.0f);
        host->Layout(kDialogSize);
    }
    Border root;
    std::unique_ptr<HeadlessHost> host;
};

class ShareDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(temp.path / "Photos");
        Share photos;
        photos.id = "a1";
        photos.name = u"Photos";
        photos.path = (temp.path / "Photos").u16string();
        config.shares.push_back(photos);
    }
    TempFolder temp;
    Config config;
};

TEST_F(ShareDialogTest, RefusedInputNamesTheProblemAndFocusesTheField) {
    Share share;
    share.id = "new";
    ShareDialogContent form{config, share, true, kEn, {}};
    Shown shown{form.Build()};
    EXPECT_EQ(U8Title(form), "Add shared folder");
    EXPECT_FALSE(form.ErrorLabel()->IsVisible());

    struct Case {
        std::u16string name;
        std::u16string path;
        bool askPassword;
        TextId message;
        Widget* field;
    };
    const std::u16string folder = (temp.path / "Photos").u16string();
    const std::vector<Case> cases{
        {u"", folder, false, TextId::EnterName, form.NameBox()},
        {u"a*b", folder, false, TextId::InvalidShareName, form.NameBox()},
        {u"PHOTOS", folder, false, TextId::NameInUse, form.NameBox()},
        {u"Other", u"", false, TextId::ChooseFolderError, form.PathBox()},
        {u"Other", (temp.path / "nope").u16string(), false, TextId::FolderNotFound, form.PathBox()},
        {u"Other", folder, true, TextId::EnterPassword, form.PasswordBox()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Velto::Utf16ToUtf8(Text(c.message, kEn)));
        form.NameBox()->SetText(c.name);
        form.PathBox()->SetText(c.path);
        form.AskPasswordBox()->SetState(c.askPassword ? CheckState::Checked
                                                      : CheckState::Unchecked);
        form.PasswordBox()->SetEnabled(c.askPassword);
        EXPECT_FALSE(form.Confirm());
        EXPECT_TRUE(form.ErrorLabel()->IsVisible());
        EXPECT_EQ(form.ErrorLabel()->Text(), Text(c.message, kEn));
        EXPECT_EQ(shown.host->Focused(), c.field);
    }
    EXPECT_EQ(shown.host->RenderToPng(kDialogSize, (ShotFolder() / "dialog-share-en.png").string()),
              0);
    EXPECT_EQ(form.Result().name, u""); // nothing written while refused
}

TEST_F(ShareDialogTest, ConfirmedInputIsWrittenBack) {
    Share share = config.shares[0];
    share.guest = static_cast<AccessFlags>(5);
    share.password = "stored-hash";
    share.maxUploadBytes = 3 * kBytesPerMegabyte + 1;
    ShareDialogContent form{config, share, false, kEn, {}};
    Shown shown{form.Build()};
    EXPECT_EQ(form.GuestBox()->GetSelectedIndex(), 1); // read and delete shows as read
    EXPECT_EQ(form.UploadBox()->GetValue(), 4);
    EXPECT_TRUE(form.PasswordBox()->IsEnabled());
    EXPECT_EQ(form.PasswordBox()->Placeholder(), Text(TextId::LeaveEmptyToKeep, kEn));
    form.AskPasswordBox()->Click(); // off: the password goes, the box greys out
    EXPECT_FALSE(form.PasswordBox()->IsEnabled());
    form.PathBox()->SetText(form.PathBox()->GetText() + u"/");
    ASSERT_TRUE(form.Confirm());
    EXPECT_EQ(form.Result().path, config.shares[0].path);
    EXPECT_EQ(form.Result().guest, AccessFlags::Read);
    EXPECT_TRUE(form.Result().password.empty());
    EXPECT_EQ(form.Result().maxUploadBytes, 4 * kBytesPerMegabyte);
}

TEST_F(ShareDialogTest, BrowseFillsThePathAndAnEmptyName) {
    Share share;
    share.id = "new";
    std::string initial;
    ShareDialogContent::Pickers pickers;
    pickers.folder = [&](const std::u16string&, const std::string& start) {
        initial = start;
        return std::optional<std::string>((temp.path / "Photos").string());
    };
    ShareDialogContent form{config, share, true, kEn, pickers};
    Shown shown{form.Build()};
    form.PathBox()->SetText(u"/srv");
    form.Browse();
    EXPECT_EQ(initial, "/srv");
    EXPECT_EQ(form.PathBox()->GetText(), (temp.path / "Photos").u16string());
    EXPECT_EQ(form.NameBox()->GetText(), u"Photos");
    form.NameBox()->SetText(u"Mine");
    form.Browse();
    EXPECT_EQ(form.NameBox()->GetText(), u"Mine");
}

TEST_F(ShareDialogTest, AFileShareOffersTwoGuestChoicesAndStaysReadOnly) {
    std::ofstream(temp.path / "a.txt") << "x";
    Share share;
    share.id = "f";
    share.file = true;
    share.guest = static_cast<AccessFlags>(7);
    share.path = (temp.path / "a.txt").u16string();
    ShareDialogContent form{config, share, true, kEn, {}};
    Shown shown{form.Build()};
    EXPECT_EQ(U8Title(form), "Add shared file");
    EXPECT_EQ(form.GuestBox()->Items().size(), 2u);
    EXPECT_EQ(form.UploadBox(), nullptr);
    EXPECT_EQ(form.ReadOnlyBox(), nullptr);
    form.NameBox()->SetText(u"a.txt");
    ASSERT_TRUE(form.Confirm());
    EXPECT_TRUE(form.Result().readOnly);
    EXPECT_EQ(form.Result().guest, AccessFlags::Read);
    form.PathBox()->SetText((temp.path / "Photos").u16string());
    EXPECT_FALSE(form.Confirm());
    EXPECT_EQ(form.ErrorLabel()->Text(), Text(TextId::FileNotFound, kEn));
}

Config AccountConfig() {
    Config config;
    for (const auto& [id, name, readOnly] :
         {std::tuple{"s1", u"Photos", false}, std::tuple{"s2", u"Docs", true}}) {
        Share share;
        share.id = id;
        share.name = name;
        share.readOnly = readOnly;
        config.shares.push_back(share);
    }
    Account kim;
    kim.name = u"Kim";
    kim.password = "hash-kim";
    kim.access = {{"s2", static_cast<AccessFlags>(7)}};
    config.accounts.push_back(kim);
    return config;
}

TEST(AccountDialogTest, RefusesDuplicatesAndMismatchesAndStoresNormalisedRights) {
    const Config config = AccountConfig();
    Account fresh;
    AccountDialogContent form{config, fresh, true, kEn};
    Shown shown{form.Build()};
    EXPECT_EQ(Velto::Utf16ToUtf8(form.Title()), "Add account");
    ASSERT_EQ(form.Rights().size(), 2u);
    EXPECT_FALSE(form.Rights()[1].write->IsEnabled());

    form.NameBox()->SetText(u"kim");
    form.PasswordBox()->SetText(u"pw");
    form.ConfirmationBox()->SetText(u"pw");
    EXPECT_FALSE(form.Confirm());
    EXPECT_EQ(form.ErrorLabel()->Text(), Text(TextId::AccountExists, kEn));
    EXPECT_EQ(shown.host->Focused(), form.NameBox());
    form.NameBox()->SetText(u"Lee");
    form.ConfirmationBox()->SetText(u"pW");
    EXPECT_FALSE(form.Confirm());
    EXPECT_EQ(form.ErrorLabel()->Text(), Text(TextId::PasswordsDiffer, kEn));
    EXPECT_EQ(shown.host->Focused(), form.ConfirmationBox());
    form.ConfirmationBox()->SetText(u"pw");

    // Delete brings read along; unchecking read takes delete away again.
    form.Rights()[0].remove->Click();
    EXPECT_EQ(form.Rights()[0].read->State(), CheckState::Checked);
    form.Rights()[0].read->Click();
    EXPECT_EQ(form.Rights()[0].remove->State(), CheckState::Unchecked);
    form.Rights()[0].write->Click();
    ASSERT_TRUE(form.Confirm());
    const std::map<std::string, AccessFlags> expected{{"s1", static_cast<AccessFlags>(3)}};
    EXPECT_EQ(form.Result().access, expected);
    EXPECT_TRUE(Velto::Corvane::VerifyPassword(form.Result().password, "pw"));
    EXPECT_EQ(
        shown.host->RenderToPng(kDialogSize, (ShotFolder() / "dialog-account-en.png").string()), 0);
}

TEST(AccountDialogTest, EditingKeepsThePasswordAndTheReadOnlyShareRights) {
    const Config config = AccountConfig();
    AccountDialogContent form{config, config.accounts[0], false, kEn};
    Shown shown{form.Build()};
    EXPECT_EQ(form.PasswordBox()->Placeholder(), Text(TextId::LeaveEmptyToKeep, kEn));
    EXPECT_EQ(form.Rights()[1].write->State(), CheckState::Checked); // disabled, still shown
    form.NameBox()->SetText(u"KIM");                                 // re-casing its own name
    ASSERT_TRUE(form.Confirm());
    EXPECT_EQ(form.Result().name, u"KIM");
    EXPECT_EQ(form.Result().password, "hash-kim");
    EXPECT_EQ(form.Result().access.at("s2"), static_cast<AccessFlags>(7));

    Config empty;
    AccountDialogContent none{empty, Account{}, true, kEn};
    Shown shownNone{none.Build()};
    EXPECT_TRUE(none.Rights().empty());
}

// Both dialogs as they open for an existing share and account, in each
// language and theme, saved for a reviewer to look at.
TEST(EditDialogPictures, BothDialogsInEachLanguageAndTheme) {
    TempFolder temp;
    std::filesystem::create_directory(temp.path / "Photos");
    Config config = AccountConfig();
    config.shares[0].path = (temp.path / "Photos").u16string();
    config.shares[0].guest = static_cast<AccessFlags>(3);
    config.shares[0].password = "hash";
    config.shares[1].path = (temp.path / "Photos").u16string();
    const struct {
        const char* name;
        UiLanguage language;
    } languages[] = {{"ko", UiLanguage::Korean}, {"en", UiLanguage::English}};
    const struct {
        const char* name;
        Theme theme;
    } themes[] = {{"light", LightTheme(kDefaultAccent)}, {"dark", DarkTheme(kDefaultAccent)}};
    for (const auto& language : languages)
        for (const auto& theme : themes) {
            const std::string suffix = std::string(language.name) + "-" + theme.name + ".png";
            SCOPED_TRACE(suffix);
            ShareDialogContent share{config, config.shares[0], false, language.language, {}};
            Shown shownShare{share.Build(), theme.theme};
            EXPECT_EQ(shownShare.host->RenderToPng(kDialogSize,
                                                   (ShotFolder() / ("share-" + suffix)).string()),
                      0);
            AccountDialogContent account{config, config.accounts[0], false, language.language};
            Shown shownAccount{account.Build(), theme.theme};
            EXPECT_EQ(shownAccount.host->RenderToPng(
                          kDialogSize, (ShotFolder() / ("account-" + suffix)).string()),
                      0);
        }
}

} // namespace
} // namespace App
