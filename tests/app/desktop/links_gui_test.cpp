// Share links in the real window on a private X server (Xvfb with openbox),
// over a real service on a loopback port: a link made from a share row
// through the real dialog (target picked through a stand-in zenity) reaches
// config.json with the chosen mode, expiry and label, the links page lists
// it, copies and shows its address and revokes it; removing a share takes its
// links along; the links page follows links the server adds; the dialog says
// what it refuses.

#include "app/desktop/desktop_window.h"
#include "app/desktop/home/home_page.h"
#include "app/desktop/links/link_dialog.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "config/password_hash.h"
#include "service/corvane_service.h"
#include "tests/app/desktop/desktop_window_gui_fixture.h"
#include "tests/support/service_fixture.h"
#include "tests/support/xvfb_session.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/label.h"
#include "widget/list/list_view.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Corvane::Config;
using Velto::Corvane::LinkLifetime;
using Velto::Corvane::LinkMode;
using Velto::Corvane::Share;
using Velto::Corvane::ShareLink;

using namespace App::Testing;

constexpr std::int64_t kDay = 86400;

template <typename T> T* InDialog(std::u16string_view id) {
    return g_openDialog ? FindById<T>(g_openDialog->Root(), id) : nullptr;
}

class LinksGuiTest : public DesktopWindowGuiFixture {
protected:
    static void SetUpTestSuite() {
        StartDisplay();
        if (HasFatalFailure())
            return;
        AnswerPickersFromFile("velto-links-gui-bin");
        ASSERT_TRUE(StartToolkitForWindowTests());
    }

    void SetUp() override {
        DesktopWindowGuiFixture::SetUp();
        pickFile = std::filesystem::path(ConfigPath()).parent_path() / "pick";
        ::setenv("VELTO_TEST_PICK", pickFile.c_str(), 1);
        std::filesystem::create_directories(Files() / "Photos" / "2024");
    }

    List::ListView* Links() { return FindFirst<List::ListView>(Root()); }
    std::int64_t LinkRows() {
        List::ListView* list = Links();
        return list && list->Source() ? list->Source()->RowCount() : -1;
    }
    std::u16string Cell(std::int64_t row, std::int32_t column) {
        return std::u16string{Links()->Source()->CellText(row, column)};
    }

    ShareLink MakeLink(const std::string& shareId, std::u16string label,
                       LinkLifetime lifetime = LinkLifetime::Never) {
        std::optional<ShareLink> link =
            Velto::Corvane::NewShareLink(shareId, {}, lifetime, std::time(nullptr));
        EXPECT_TRUE(link.has_value());
        link->label = std::move(label);
        return *link;
    }

    bool Settled() { return !window->Main().Commands().HasPendingChanges(); }
    static void PressKey(const char* key) { s_x->Run({"xdotool", "key", key}); }

    std::filesystem::path pickFile;
};

TEST_F(LinksGuiTest, ALinkMadeOnAShareRowIsKeptListedAndRevoked) {
    std::ofstream(pickFile) << (Files() / "Photos").string() << "\n";
    ASSERT_EQ(Service().Start(), 0);
    Open(MainWindow::kHomePage);
    window->Main().Refresh();
    const std::u16string serverAddress = window->Main().Home()->ShownAddress();
    ASSERT_FALSE(serverAddress.empty());

    std::u16string shownAddress;
    auto run = StartSteps({
        {DialogActive, [] { InDialog<Button>(u"link.pickFolder")->Click(); }},
        // The picked folder shows as a path inside the share.
        {[] {
             auto* target = InDialog<Controls::TextBox>(u"link.target");
             return target && target->GetText() == u"Photos";
         },
         [] {
             InDialog<Controls::ComboBox>(u"link.mode")->SetSelectedIndex(1);
             InDialog<Controls::ComboBox>(u"link.expiry")->SetSelectedIndex(1);
             InDialog<Controls::TextBox>(u"link.label")->SetText(u"For Kim");
         }},
        {[] { return true; }, [] { PressKey("Return"); }},
        {[] { return InDialog<Label>(u"link.address") != nullptr; },
         [&] {
             shownAddress = InDialog<Label>(u"link.address")->Text();
             PressKey("Escape");
         }},
    });
    Click(Shown<Button>(u"share.link.0123456789abcdef"));
    ASSERT_TRUE(RunUntil([&] { return run->Done() && Settled(); }));
    EXPECT_FALSE(run->timedOut) << "step " << run->next;

    const Config saved = SavedConfig();
    ASSERT_EQ(saved.links.size(), 1u);
    const ShareLink& link = saved.links.front();
    EXPECT_EQ(link.shareId, "0123456789abcdef");
    EXPECT_EQ(U8(link.path), "Photos");
    EXPECT_EQ(link.mode, LinkMode::Upload);
    EXPECT_EQ(link.expires - link.created, kDay);
    EXPECT_LE(std::abs(link.created - std::time(nullptr)), 60);
    EXPECT_EQ(U8(link.label), "For Kim");
    EXPECT_TRUE(link.creator.empty());
    EXPECT_TRUE(link.password.empty());
    EXPECT_EQ(U8(shownAddress), U8(serverAddress) + "/s/" + link.token);

    window->Main().ShowPage(MainWindow::kLinksPage);
    ASSERT_EQ(LinkRows(), 1);
    EXPECT_EQ(U8(Cell(0, 0)), "For Kim");
    EXPECT_EQ(U8(Cell(0, 1)), "docs/Photos");
    EXPECT_EQ(U8(Cell(0, 2)), "Upload only");
    EXPECT_NE(U8(Cell(0, 3)), "Never");
    EXPECT_EQ(U8(Cell(0, 3)).find("Expired"), std::string::npos);
    EXPECT_EQ(U8(Cell(0, 4)), "0");

    // Nothing selected, nothing to copy, show or revoke.
    for (const char16_t* id : {u"links.copy", u"links.qr", u"links.revoke"})
        EXPECT_FALSE(Shown<Button>(id).IsEnabled()) << U8(id);
    Links()->SelectOnly(0);
    ASSERT_TRUE(Shown<Button>(u"links.revoke").IsEnabled());

    // Copy puts the address on the clipboard; the window answers xclip's
    // request from its own loop, so xclip runs beside it.
    Button& copy = Shown<Button>(u"links.copy");
    Click(copy);
    ASSERT_TRUE(RunUntil([&] { return copy.Text() == u"Copied"; }));
    std::atomic<bool> read{false};
    Velto::Testing::CommandOutput clipboard;
    std::thread reader([&] {
        clipboard = s_x->Run({"xclip", "-o", "-selection", "clipboard"});
        read = true;
    });
    const bool finished = RunUntil([&] { return read.load(); });
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(clipboard.out, U8(shownAddress));

    // The QR action shows the same address with its code.
    g_openDialog = nullptr; // the link dialog is gone
    std::u16string qrAddress;
    run = StartSteps({{[] { return DialogActive() && InDialog<Label>(u"link.address"); },
                       [&] {
                           qrAddress = InDialog<Label>(u"link.address")->Text();
                           PressKey("Escape");
                       }}});
    Click(Shown<Button>(u"links.qr"));
    ASSERT_TRUE(RunUntil([&] { return run->Done(); }));
    EXPECT_FALSE(run->timedOut);
    EXPECT_EQ(U8(qrAddress), U8(shownAddress));

    // Revoked once confirmed.
    g_openDialog = nullptr; // the QR dialog is gone
    run = StartSteps({{DialogActive, [] { PressKey("Return"); }}});
    Click(Shown<Button>(u"links.revoke"));
    ASSERT_TRUE(RunUntil([&] { return run->Done() && Settled() && LinkRows() == 0; }));
    EXPECT_FALSE(run->timedOut);
    EXPECT_TRUE(SavedConfig().links.empty());
}

TEST_F(LinksGuiTest, StoppingASharesTakesItsLinksAlong) {
    const auto other = Files().parent_path() / "other";
    std::filesystem::create_directories(other);
    Config config = BaseConfig(port);
    Share second;
    second.id = "fedcba9876543210";
    second.name = u"other";
    second.path = other.u16string();
    config.shares.push_back(second);
    config.links.push_back(MakeLink("0123456789abcdef", u"docs one"));
    config.links.push_back(MakeLink("fedcba9876543210", u"kept"));
    config.links.push_back(MakeLink("0123456789abcdef", u"docs two"));
    ASSERT_TRUE(Service().ApplyConfig(config));
    Open(MainWindow::kHomePage);

    // The first row's stop button is docs'; the question counts its links.
    bool counted = false;
    auto run = StartSteps({{DialogActive, [&] {
                                counted = FindLabel(g_openDialog->Root(),
                                                    Format(TextId::ConfirmStopSharingWithLinks,
                                                           UiLanguage::English, {u"docs", u"2"})) !=
                                          nullptr;
                                PressKey("Return");
                            }}});
    Button* stop = nullptr;
    ASSERT_TRUE(RunUntil([&] {
        stop = FindByName<Button>(Root(), Text(TextId::StopSharing, UiLanguage::English));
        return stop && !stop->BoundsInWindow().IsEmpty();
    }));
    Click(*stop);
    ASSERT_TRUE(RunUntil([&] { return run->Done() && Settled(); }));
    EXPECT_FALSE(run->timedOut);

    EXPECT_TRUE(counted);
    // Gone from the file itself, not only dropped when it is read.
    std::ifstream file{ConfigPath()};
    const std::string text{std::istreambuf_iterator<char>{file}, {}};
    EXPECT_EQ(text.find("docs one"), std::string::npos) << text;
    EXPECT_EQ(text.find("docs two"), std::string::npos) << text;
    EXPECT_EQ(Service().GetConfig().links.size(), 1u);
    const Config saved = SavedConfig();
    ASSERT_EQ(saved.shares.size(), 1u);
    EXPECT_EQ(saved.shares.front().id, "fedcba9876543210");
    ASSERT_EQ(saved.links.size(), 1u);
    EXPECT_EQ(U8(saved.links.front().label), "kept");
}

TEST_F(LinksGuiTest, TheLinksPageFollowsLinksTheServerAddsAndCounts) {
    Open(MainWindow::kLinksPage);
    EXPECT_EQ(LinkRows(), 0);

    // Made elsewhere (the web client's API writes the service's config).
    Config config = Service().GetConfig();
    config.links.push_back(MakeLink("0123456789abcdef", u"from the web"));
    ShareLink old = MakeLink("0123456789abcdef", {}, LinkLifetime::Hour);
    old.created -= 2 * kDay;
    old.expires -= 2 * kDay;
    old.path = u"Photos/2024";
    config.links.push_back(old);
    ASSERT_TRUE(Service().ApplyConfig(config));
    ASSERT_TRUE(RunUntil([&] { return LinkRows() == 2; }));
    EXPECT_EQ(U8(Cell(0, 0)), "from the web");
    EXPECT_EQ(U8(Cell(0, 3)), "Never");
    // Without a label the target's own name; expired ones say so.
    EXPECT_EQ(U8(Cell(1, 0)), "2024");
    EXPECT_EQ(U8(Cell(1, 1)), "docs/Photos/2024");
    EXPECT_EQ(U8(Cell(1, 3)).rfind("Expired (", 0), 0u) << U8(Cell(1, 3));

    // Visits counted by the server show, the selection stays.
    Links()->SelectOnly(1);
    config.links[1].uses = 5;
    ASSERT_TRUE(Service().ApplyConfig(config));
    ASSERT_TRUE(RunUntil([&] { return Cell(1, 4) == u"5"; }));
    EXPECT_EQ(Links()->Selection().FirstSelected(), 1);
}

TEST_F(LinksGuiTest, TheDialogSaysWhatItRefuses) {
    const auto outside = Files().parent_path() / "outside";
    std::filesystem::create_directories(outside);
    std::filesystem::create_directory_symlink(outside, Files() / "escape");
    Open(MainWindow::kHomePage);

    struct Case {
        std::u16string target;
        int mode;
        bool askPassword;
        TextId message;
    };
    const std::vector<Case> cases{
        {u"../outside", 0, false, TextId::LinkTargetOutside},
        {outside.u16string(), 0, false, TextId::LinkTargetOutside},
        {u"escape", 0, false, TextId::LinkTargetOutside},
        {u"Photos/../../outside", 0, false, TextId::LinkTargetOutside},
        {u"Photos/2023", 0, false, TextId::LinkTargetMissing},
        {u"hello.txt", 1, false, TextId::LinkUploadNeedsFolder},
        {u"Photos", 0, true, TextId::EnterPassword},
    };
    std::vector<Step> steps{{DialogActive, [] {}}};
    for (const Case& c : cases) {
        steps.push_back({[] { return true; },
                         [c] {
                             InDialog<Controls::TextBox>(u"link.target")->SetText(c.target);
                             InDialog<Controls::ComboBox>(u"link.mode")->SetSelectedIndex(c.mode);
                             InDialog<CheckBox>(u"link.askPassword")
                                 ->SetState(c.askPassword ? CheckState::Checked
                                                          : CheckState::Unchecked);
                             PressKey("Return");
                         }});
        const std::u16string message = Text(c.message, UiLanguage::English);
        steps.push_back({[message] {
                             auto* error = InDialog<Label>(u"link.error");
                             return error && error->IsVisible() && error->Text() == message;
                         },
                         [] {}});
    }
    // An absolute path inside the share is taken as the path inside it; the
    // password is kept as a hash.
    steps.push_back({[] { return true; },
                     [this] {
                         InDialog<Controls::TextBox>(u"link.target")
                             ->SetText((Files() / "Photos" / "2024").u16string());
                         InDialog<Controls::ComboBox>(u"link.mode")->SetSelectedIndex(0);
                         InDialog<CheckBox>(u"link.askPassword")->SetState(CheckState::Checked);
                         InDialog<Controls::TextBox>(u"link.password")->SetText(u"open sesame");
                         PressKey("Return");
                     }});
    steps.push_back(
        {[] { return InDialog<Button>(u"link.copy") != nullptr; }, [] { PressKey("Escape"); }});
    auto run = StartSteps(std::move(steps));

    const Share share = Service().GetConfig().shares.front();
    std::vector<ShareLink> kept;
    const bool made =
        NewLinkDialog(&window->Native(), share, UiLanguage::English,
                      [&kept](const ShareLink& link) -> std::optional<std::u16string> {
                          kept.push_back(link);
                          return u"http://127.0.0.1:1";
                      },
                      {});
    EXPECT_FALSE(run->timedOut) << "step " << run->next << " never came true";
    EXPECT_TRUE(made);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(U8(kept.front().path), "Photos/2024");
    EXPECT_EQ(kept.front().mode, LinkMode::View);
    EXPECT_EQ(kept.front().expires - kept.front().created, 7 * kDay);
    EXPECT_EQ(kept.front().password.find("open sesame"), std::string::npos);
    EXPECT_TRUE(Velto::Corvane::VerifyPassword(kept.front().password, "open sesame"));
    EXPECT_FALSE(Velto::Corvane::VerifyPassword(kept.front().password, "open sesamE"));
}

TEST_F(LinksGuiTest, AReadOnlyShareOffersNoUploadLinks) {
    Config config = BaseConfig(port);
    config.shares.front().readOnly = true;
    ASSERT_TRUE(Service().ApplyConfig(config));
    Open(MainWindow::kHomePage);
    int modes = -1;
    bool enabled = true;
    bool explained = false;
    auto run = StartSteps({{DialogActive, [&] {
                                auto* mode = InDialog<Controls::ComboBox>(u"link.mode");
                                modes = static_cast<int>(mode->Items().size());
                                enabled = mode->IsEnabled();
                                explained = FindLabel(g_openDialog->Root(),
                                                      Text(TextId::LinkUploadReadOnly,
                                                           UiLanguage::English)) != nullptr;
                                PressKey("Escape");
                            }}});
    Click(Shown<Button>(u"share.link.0123456789abcdef"));
    ASSERT_TRUE(RunUntil([&] { return run->Done(); }));
    EXPECT_FALSE(run->timedOut);
    EXPECT_EQ(modes, 1);
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(explained);
    EXPECT_TRUE(SavedConfig().links.empty());
}

} // namespace
} // namespace App
