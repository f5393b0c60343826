// The main window without a display: a headless host stands in for the
// native window, the dialogs answer as scripted, and a real service runs on
// a loopback port. The switch starts and stops it, the texts follow, a port
// in use shows its failure, the page buttons switch pages, dropped folders
// reach config.json and the address copies.

#include "app/desktop/home/home_page.h"
#include "app/desktop/main_window.h"
#include "app/desktop/shares/share_icon.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "service/corvane_service.h"
#include "tests/app/desktop/headless_main_window.h"
#include "tests/app/desktop/widget_find.h"
#include "tests/support/service_fixture.h"
#include "widget/controls/button.h"
#include "widget/controls/toggle_button.h"
#include "widget/controls/toggle_switch.h"
#include "widget/core/label.h"
#include "widget/input/headless_host.h"
#include "widget/list/list_view.h"
#include "widget/menu/menu_item.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace App {
namespace {

using namespace App::Testing;

using namespace Velto::Widget;
using Velto::Corvane::Config;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::Share;

const Label* FindLabel(const Widget& widget, std::u16string_view text) {
    if (const auto* label = dynamic_cast<const Label*>(&widget);
        label && label->Text() == text && !label->BoundsInWindow().IsEmpty())
        return label;
    for (const auto& child : widget.Children()) {
        if (const Label* found = FindLabel(*child, text))
            return found;
    }
    return nullptr;
}

class MainWindowTest : public Testing::HeadlessMainWindowTest {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        MakeService();
        port = Velto::Corvane::Testing::FreeLoopbackPort();
        ASSERT_TRUE(Service().ApplyConfig(BaseConfig(port)));
    }

    void Open(UiLanguage language, bool dark = false) {
        WindowServices services = HeadlessServices(dark);
        services.setTitle = [this](const std::u16string& text) { title = U8(text); };
        services.copyText = [this](std::u16string_view text) {
            copied = U8(text);
            return true;
        };
        services.editShare = [this](const Config&, Share& share, bool isNew) {
            edited.push_back(U8(share.name));
            return isNew;
        };
        services.pickFolder = [this](const std::u16string&) { return pickedFolder; };
        services.showMenu = [this](Widget&, std::vector<MenuItem> items,
                                   std::function<void(std::uint32_t)> chosen) {
            menuItems = std::move(items);
            menuChosen = std::move(chosen);
        };
        services.ask = [](const std::u16string&, const std::u16string&) { return true; };
        services.showError = [this](const std::u16string& text) { errors.push_back(U8(text)); };
        services.shareIcon = ShareIcon;
        MainWindow::Hooks hooks;
        hooks.onServerStateChanged = [this] { ++stateChanges; };
        window = std::make_unique<MainWindow>(Service(), std::move(services), hooks, language);
        window->Create();
        Layout();
    }

    std::u16string T(TextId id) const { return Text(id, window->Language()); }
    ToggleSwitch& Switch() {
        auto* found = FindById<ToggleSwitch>(window->Root(), u"server.switch");
        EXPECT_NE(found, nullptr);
        return *found;
    }

    std::string title;
    std::string copied;
    std::vector<std::string> edited;
    std::vector<std::string> errors;
    std::optional<std::string> pickedFolder;
    std::vector<MenuItem> menuItems;
    std::function<void(std::uint32_t)> menuChosen;
    int stateChanges{0};
};

TEST_F(MainWindowTest, SwitchStartsAndStopsTheServerAndTheTextsFollow) {
    Open(UiLanguage::English);
    EXPECT_EQ(title, "VeltoCorvane");
    EXPECT_EQ(U8(Switch().Text()), "Server off");
    EXPECT_NE(FindLabel(window->Root(), T(TextId::ServerIsOff)), nullptr);
    ASSERT_NE(FindById<Button>(window->Root(), u"home.start"), nullptr);
    // WebDAV is on in a new configuration; the signature says so.
    EXPECT_EQ(U8(window->Home()->Signature()), "off|en|dav");

    Switch().Click();
    Pump();
    EXPECT_TRUE(Service().IsRunning());
    EXPECT_TRUE(Switch().IsOn());
    EXPECT_EQ(U8(Switch().Text()), "Server on");
    EXPECT_EQ(stateChanges, 1);
    EXPECT_EQ(FindById<Button>(window->Root(), u"home.start"), nullptr);
    EXPECT_NE(FindLabel(window->Root(), Format(TextId::TrafficSummary, UiLanguage::English,
                                               {u"0", u"0 B", u"0 B"})),
              nullptr);

    Switch().Click();
    Pump();
    EXPECT_FALSE(Service().IsRunning());
    EXPECT_EQ(U8(Switch().Text()), "Server off");
    EXPECT_EQ(stateChanges, 2);

    // The card's start button starts it too.
    FindById<Button>(window->Root(), u"home.start")->Click();
    Pump();
    EXPECT_TRUE(Service().IsRunning());
    Service().Stop();
}

TEST_F(MainWindowTest, APortInUseShowsItsFailureText) {
    Velto::Corvane::Testing::PortBlocker blocker;
    Config config = Service().GetConfig();
    config.port = blocker.Port();
    ASSERT_TRUE(Service().ApplyConfig(config));
    Open(UiLanguage::Korean);
    Switch().Click();
    Pump();
    EXPECT_FALSE(Service().IsRunning());
    EXPECT_FALSE(Switch().IsOn());
    EXPECT_EQ(U8(Switch().Text()), U8(T(TextId::ServerOff)));
    const std::u16string expected = Format(TextId::PortInUse, UiLanguage::Korean,
                                           {Velto::Utf8ToUtf16(std::to_string(blocker.Port()))});
    EXPECT_NE(FindLabel(window->Root(), expected), nullptr);
    EXPECT_NE(FindLabel(window->Root(), T(TextId::ServerDidNotStart)), nullptr);
}

TEST_F(MainWindowTest, PageButtonsSwitchPagesAndTheCurrentOneStaysChecked) {
    Open(UiLanguage::English);
    auto* settings = FindById<ToggleButton>(window->Root(), u"nav.settings");
    ASSERT_NE(settings, nullptr);
    settings->Click();
    Pump();
    EXPECT_EQ(window->CurrentPage(), MainWindow::kSettingsPage);
    EXPECT_EQ(window->Home(), nullptr);
    settings = FindById<ToggleButton>(window->Root(), u"nav.settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->IsChecked());
    settings->Click(); // the current page's button
    Pump();
    EXPECT_TRUE(settings->IsChecked());
    EXPECT_EQ(FindById<ToggleButton>(window->Root(), u"nav.settings"), settings); // not rebuilt
    EXPECT_NE(FindLabel(window->Root(), u"Settings"), nullptr);

    FindById<Button>(window->Root(), u"nav.back")->Click();
    Pump();
    EXPECT_EQ(window->CurrentPage(), MainWindow::kHomePage);
    EXPECT_NE(window->Home(), nullptr);
    window->ShowPage(9);
    EXPECT_EQ(window->CurrentPage(), MainWindow::kSettingsPage);
    window->ShowPage(-4);
    EXPECT_EQ(window->CurrentPage(), MainWindow::kHomePage);
}

TEST_F(MainWindowTest, PickedAndDroppedFoldersJoinTheListAndConfigJson) {
    const auto folder = std::filesystem::path(ConfigPath()).parent_path().parent_path() / "Music";
    std::filesystem::create_directories(folder);
    Open(UiLanguage::English);
    window->ShowPage(MainWindow::kSettingsPage);
    window->AddPaths({folder.string()}); // a drop on another page goes home first
    EXPECT_EQ(window->CurrentPage(), MainWindow::kHomePage);
    Pump();
    ASSERT_EQ(edited, std::vector<std::string>{"Music"});
    EXPECT_NE(FindLabel(window->Root(), u"Music"), nullptr);

    pickedFolder = folder.string();
    FindById<Button>(window->Root(), u"share.add")->Click();
    Pump();
    ASSERT_EQ(edited.size(), 2u);
    EXPECT_EQ(edited[1], "Music 2");
    EXPECT_NE(FindLabel(window->Root(), u"Music 2"), nullptr);
    const Config saved = SavedConfig();
    ASSERT_EQ(saved.shares.size(), 3u);
    EXPECT_EQ(U8(saved.shares[2].name), "Music 2");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, CopyShowsCopiedForTwoSeconds) {
    Config config = Service().GetConfig();
    config.shares[0].name = u"내 사진 & more";
    ASSERT_TRUE(Service().ApplyConfig(config));
    Open(UiLanguage::English);
    window->ToggleServer();
    Pump();
    ASSERT_TRUE(Service().IsRunning());
    auto* copy = FindById<Button>(window->Root(), u"address.copy");
    if (!copy)
        GTEST_SKIP() << "this machine has no network address to show";
    Layout();
    const RectF before = copy->BoundsInWindow();
    copy->Click();
    EXPECT_EQ(copied, U8(window->FirstLocalAddress()));
    EXPECT_EQ(U8(copy->Text()), "Copied");
    // The button keeps its width, so the buttons beside it stay put.
    Layout();
    EXPECT_FLOAT_EQ(copy->BoundsInWindow().width, before.width);
    EXPECT_FLOAT_EQ(copy->BoundsInWindow().x, before.x);
    host->AdvanceTime(1.0);
    EXPECT_EQ(U8(copy->Text()), "Copied");
    host->AdvanceTime(1.5);
    // The status refresh rebuilt nothing, so the same button is restored.
    EXPECT_EQ(FindById<Button>(window->Root(), u"address.copy"), copy);
    EXPECT_EQ(U8(copy->Text()), "Copy");

    // A share's address carries its name percent-encoded after "/#/".
    auto* shareCopy = FindByName<Button>(window->Root(), u"Copy this folder's address");
    ASSERT_NE(shareCopy, nullptr);
    EXPECT_TRUE(shareCopy->IsEnabled());
    shareCopy->Click();
    EXPECT_EQ(copied,
              U8(window->FirstLocalAddress()) + "/#/%EB%82%B4%20%EC%82%AC%EC%A7%84%20%26%20more");
    Service().Stop();
}

TEST_F(MainWindowTest, ScopeMenuSwitchesToTheInternetAndBack) {
    Open(UiLanguage::English);
    window->ToggleServer();
    Pump();
    auto* scope = FindById<Button>(window->Root(), u"address.scope");
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(U8(scope->Text()), "This network");
    scope->Click();
    ASSERT_GE(menuItems.size(), 2u);
    EXPECT_TRUE(menuItems.front().checked);
    EXPECT_EQ(menuItems.back().id, kInternetScopeItem);
    menuChosen(kInternetScopeItem);
    EXPECT_FALSE(window->Choice().internetScope); // posted, not run inside the menu
    Pump();
    EXPECT_TRUE(window->Choice().internetScope);
    scope = FindById<Button>(window->Root(), u"address.scope");
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(U8(scope->Text()), "Internet");
    EXPECT_EQ(U8(scope->AccessibleName()), "Address: Internet");
    EXPECT_NE(U8(window->Home()->Signature()).find("|i0|"), std::string::npos);

    // Another page and back keeps the choice; a rebuild in Korean too.
    window->ShowPage(MainWindow::kLogPage);
    window->ShowPage(MainWindow::kHomePage);
    window->Rebuild(UiLanguage::Korean);
    Layout();
    EXPECT_TRUE(window->Choice().internetScope);
    EXPECT_EQ(window->CurrentPage(), MainWindow::kHomePage);
    EXPECT_NE(FindLabel(window->Root(), T(TextId::SharedFoldersAndFiles)), nullptr);
    EXPECT_TRUE(U8(window->Home()->Signature()).ends_with("|ko|dav"));
    window->SetScope(false);
    EXPECT_NE(U8(window->Home()->Signature()).find("|l0|"), std::string::npos);
    Service().Stop();
}

TEST_F(MainWindowTest, TheStatusIsReadEveryTwoSecondsAndReachesThePageShown) {
    Open(UiLanguage::English);

    // Started behind the window's back: the next reading shows it.
    ASSERT_EQ(Service().Start(), 0);
    EXPECT_FALSE(Switch().IsOn());
    host->AdvanceTime(MainWindow::kStatusSeconds + 0.1);
    EXPECT_TRUE(Switch().IsOn());
    EXPECT_EQ(U8(Switch().Text()), "Server on");
    EXPECT_EQ(stateChanges, 0); // only the window's own actions call the hook

    // The page shown hears every reading: the log page lists what was
    // logged behind its back at the next one.
    window->ShowPage(MainWindow::kLogPage);
    Layout();
    EXPECT_NE(FindLabel(window->Root(), T(TextId::AccessLog)), nullptr);
    const auto* list = FindFirst<List::ListView>(window->Root());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Source()->RowCount(), 0);
    for (int entry = 1; entry <= 2; ++entry) {
        Velto::Corvane::AccessLogEntry logged;
        logged.address = "127.0.0.1";
        logged.action = "download";
        logged.detail = u"/docs/a.txt";
        logged.result = 200;
        Service().Log().Append(logged);
        EXPECT_EQ(list->Source()->RowCount(), entry - 1);
        host->AdvanceTime(MainWindow::kStatusSeconds + 0.1);
        EXPECT_EQ(list->Source()->RowCount(), entry);
    }
    Service().Stop();
    host->AdvanceTime(MainWindow::kStatusSeconds);
    EXPECT_FALSE(Switch().IsOn());
}

TEST_F(MainWindowTest, RendersInBothLanguagesAndSchemes) {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    const auto folder = std::filesystem::path(binary ? binary : ".") / "tests/app/desktop/shots";
    std::filesystem::create_directories(folder);
    for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English}) {
        for (const bool dark : {false, true}) {
            Open(language, dark);
            const std::string name = std::string("window-") + (IsKorean(language) ? "ko" : "en") +
                                     (dark ? "-dark" : "-light") + ".png";
            EXPECT_EQ(
                host->RenderToPng(SizeF{MainWindow::kInitialWidth, MainWindow::kInitialHeight},
                                  (folder / name).string()),
                0);
            EXPECT_NE(FindLabel(window->Root(), T(TextId::SharedFoldersAndFiles)), nullptr);
        }
    }
    // Running, in Internet scope: the router's part is explained (the port
    // forwarding is off here, unless this machine has a public address).
    window->ToggleServer();
    Pump();
    window->SetScope(true);
    Layout();
    EXPECT_EQ(host->RenderToPng(SizeF{MainWindow::kInitialWidth, MainWindow::kInitialHeight},
                                (folder / "window-en-internet.png").string()),
              0);
    EXPECT_TRUE(FindLabel(window->Root(), T(TextId::UpnpSwitchedOff)) ||
                FindLabel(window->Root(), T(TextId::PublicAddressOfPc)));
    Service().Stop();
}

} // namespace
} // namespace App
