// Context menus on a private X server with a window manager: opened over a
// window that keeps the keyboard, driven with xdotool through keys into a
// submenu, by the pointer, and closed by Escape and by a press outside.
#include "widget/core/stack.h"
#include "widget/input/key_codes.h"
#include "widget/menu/context_menu.h"
#include "widget/menu/menu_panel.h"
#include "widget/menu/menu_popup.h"
#include "widget/menu/menu_session.h"

// Last: it brings in Xlib and its macros.
#include "tests/widget/window/gui_rig.h"

#include <gtest/gtest.h>

#include <string>

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

using Menus::ContextMenu;
using Menus::MenuPanel;
using Menus::MenuPopup;

MenuItem Item(std::uint32_t id, std::u16string text) {
    MenuItem item;
    item.id = id;
    item.text = std::move(text);
    return item;
}

std::vector<MenuItem> Items() {
    MenuItem recent = Item(2, u"&Recent");
    recent.kind = MenuItemKind::Submenu;
    recent.items = {Item(21, u"&First"), Item(22, u"&Second")};
    MenuItem separator;
    separator.kind = MenuItemKind::Separator;
    return {Item(1, u"&Open"), recent, separator, Item(3, u"&Close")};
}

// A window with one focused probe that writes down the keys reaching it.
struct Owner {
    std::unique_ptr<Window> window;
    Probe* probe{nullptr};

    Owner() {
        auto root = std::make_unique<Stack>();
        probe = root->Add(std::make_unique<Probe>(300, 200));
        window = std::make_unique<Window>();
        WindowOptions options = Options(u"Menu owner", 400, 300);
        options.hasPosition = true;
        options.x = 60;
        options.y = 60;
        if (!window->Create(options))
            return;
        window->SetThemeSource([] { return LightTheme(kDefaultAccent); });
        window->SetRoot(std::move(root));
        window->Show();
        if (PumpUntil([&] { return window->IsShown() && window->IsActive(); }))
            window->SetFocus(probe, false);
    }
    bool Ready() const { return window && window->IsActive() && probe->hasFocus; }
};

// The X window of an open level.
unsigned long LevelXWindow(const ContextMenu& menu, int level) {
    Menus::MenuSession* session = menu.Session();
    if (session == nullptr)
        return 0;
    auto* popup = dynamic_cast<MenuPopup*>(session->LevelWindow(level));
    return popup != nullptr ? popup->XWindow() : 0;
}

// The screen point at the middle of an item of an open level.
std::pair<int, int> ItemOnScreen(const ContextMenu& menu, int level, int index) {
    Menus::MenuLevelWindow* window = menu.Session()->LevelWindow(level);
    const PixelRect bounds = window->ScreenBounds();
    const RectF band = window->Panel().ItemBounds(index);
    const float scale = window->DpiScale();
    return {bounds.x + static_cast<int>((band.x + band.width / 2) * scale),
            bounds.y + static_cast<int>((band.y + band.height / 2) * scale)};
}

int IgnoreXError(::Display*, XErrorEvent*) {
    return 0;
}

// Whether a window is mapped and visible; false for one already destroyed
// (menus destroy their hidden level windows soon after closing).
bool OnScreen(const XLook& look, unsigned long window) {
    XSync(look.Get(), False);
    const auto previous = XSetErrorHandler(IgnoreXError);
    const bool shown = look.IsOnScreen(window);
    XSync(look.Get(), False);
    XSetErrorHandler(previous);
    return shown;
}

struct Record {
    std::vector<std::uint32_t> chosen;
    int closed{0};
    bool hiddenWhenChosen{false};
};

class MenuGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Ready()) << "the owner window did not get the focus";
        // The pointer rests away from every window.
        Command({"xdotool", "mousemove", "1270", "790"});
        menu.SetItems(Items());
        menu.SetOnClosed([this] { ++record.closed; });
        menu.SetOnItemChosen([this](MenuItem item) {
            record.hiddenWhenChosen = m_levels.size() > 0;
            for (const unsigned long level : m_levels)
                record.hiddenWhenChosen = record.hiddenWhenChosen && !OnScreen(look, level);
            record.chosen.push_back(item.id);
        });
    }
    // Opens the menu at a point of the window and waits until it shows.
    bool Open(PointF at, bool fromKeyboard = false) {
        if (!menu.Show(*owner.window, at, fromKeyboard))
            return false;
        return PumpUntil([&] {
            const unsigned long top = LevelXWindow(menu, 0);
            return top != 0 && OnScreen(look, top);
        });
    }
    // Remembers the open levels' windows, to look at them after closing.
    void NoteLevels() {
        m_levels.clear();
        for (int level = 0; menu.Session() && level < menu.Session()->LevelCount(); ++level)
            m_levels.push_back(LevelXWindow(menu, level));
    }
    // Types xdotool key names, one after another.
    void Keys(std::vector<std::string> keys) {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "40"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        Driver driver([&] { Command(argv); });
        PumpUntil([&] { return driver.Done(); });
    }

    XLook look;
    Owner owner;
    ContextMenu menu;
    Record record;
    std::vector<unsigned long> m_levels;
};

TEST_F(MenuGuiTest, KeysIntoASubmenuChooseAfterTheMenuIsHidden) {
    const unsigned long focusBefore = FocusedXWindow();
    ASSERT_NE(focusBefore, 0u);
    ASSERT_TRUE(Open(PointF{40, 40}));
    const unsigned long top = LevelXWindow(menu, 0);
    EXPECT_TRUE(look.IsOverrideRedirect(top));
    EXPECT_EQ(FocusedXWindow(), focusBefore) << "the owner keeps the keyboard";

    Driver driver([&] { Command({"xdotool", "key", "--delay", "40", "Down", "Down", "Right"}); });
    ASSERT_TRUE(PumpUntil([&] {
        return driver.Done() && menu.Session() != nullptr && menu.Session()->LevelCount() == 2 &&
               OnScreen(look, LevelXWindow(menu, 1));
    }));
    EXPECT_EQ(menu.Session()->Hot(1), 0);
    EXPECT_EQ(FocusedXWindow(), focusBefore);
    NoteLevels();

    Keys({"Down", "Return"});
    Keys({"Down"});
    ASSERT_TRUE(PumpUntil([&] { return record.chosen.size() == 1; }));
    EXPECT_EQ(record.chosen[0], 22u);
    EXPECT_TRUE(record.hiddenWhenChosen);
    EXPECT_EQ(record.closed, 1);
    EXPECT_FALSE(menu.IsOpen());
    // Only the Down typed after the menu closed reached the window.
    EXPECT_EQ(owner.probe->keys, (std::vector<std::uint32_t>{kKeyDown}));
}

TEST_F(MenuGuiTest, EscapeClosesLevelByLevel) {
    ASSERT_TRUE(Open(PointF{40, 40}, true));
    Keys({"Down", "Right"});
    ASSERT_TRUE(PumpUntil([&] { return menu.Session() && menu.Session()->LevelCount() == 2; }));
    Keys({"Escape"});
    ASSERT_TRUE(PumpUntil([&] { return menu.Session() && menu.Session()->LevelCount() == 1; }));
    EXPECT_TRUE(menu.IsOpen());
    Keys({"Escape"});
    ASSERT_TRUE(PumpUntil([&] { return !menu.IsOpen(); }));
    EXPECT_EQ(record.closed, 1);
    EXPECT_TRUE(record.chosen.empty());
    EXPECT_TRUE(owner.probe->keys.empty());
}

TEST_F(MenuGuiTest, PointerHoverOpensTheSubmenuAndAClickChooses) {
    ASSERT_TRUE(Open(PointF{40, 40}));
    const auto [rx, ry] = ItemOnScreen(menu, 0, 1);
    Driver hover([&] {
        Command({"xdotool", "mousemove", std::to_string(rx), std::to_string(ry)});
    });
    ASSERT_TRUE(PumpUntil([&] {
        return hover.Done() && menu.Session() && menu.Session()->LevelCount() == 2 &&
               OnScreen(look, LevelXWindow(menu, 1));
    }));
    EXPECT_EQ(menu.Session()->Hot(0), 1);
    NoteLevels();
    const auto [fx, fy] = ItemOnScreen(menu, 1, 0);
    Driver click([&] {
        Command({"xdotool", "mousemove", std::to_string(fx), std::to_string(fy), "sleep", "0.2",
                 "click", "1"});
    });
    ASSERT_TRUE(PumpUntil([&] { return click.Done() && record.chosen.size() == 1; }));
    EXPECT_EQ(record.chosen[0], 21u);
    EXPECT_TRUE(record.hiddenWhenChosen);
}

TEST_F(MenuGuiTest, APressOutsideClosesWithoutReachingTheWindow) {
    ASSERT_TRUE(Open(PointF{40, 40}));
    NoteLevels();
    const ScreenBounds client = owner.window->ClientScreenBounds();
    const int x = client.x + client.width - 20;
    const int y = client.y + client.height - 20;
    Driver click([&] {
        Command({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
    });
    ASSERT_TRUE(PumpUntil([&] { return click.Done() && !menu.IsOpen(); }));
    PumpFor(0.2);
    EXPECT_EQ(record.closed, 1);
    EXPECT_TRUE(record.chosen.empty());
    EXPECT_EQ(owner.probe->presses, 0) << "the press that closed the menu is consumed";
    for (const unsigned long level : m_levels)
        EXPECT_FALSE(OnScreen(look, level));
    EXPECT_TRUE(owner.window->IsActive());
}

TEST_F(MenuGuiTest, ShownBelowAWidgetsRectangle) {
    const RectF anchor{20, 30, 120, 32};
    ASSERT_TRUE(menu.ShowBelow(*owner.window, anchor, true));
    ASSERT_TRUE(PumpUntil([&] { return OnScreen(look, LevelXWindow(menu, 0)); }));
    const ScreenBounds client = owner.window->ClientScreenBounds();
    const float scale = owner.window->DpiScale();
    const PixelRect bounds = menu.Session()->LevelWindow(0)->ScreenBounds();
    EXPECT_EQ(bounds.x, client.x + static_cast<int>(anchor.x * scale));
    EXPECT_EQ(bounds.y, client.y + static_cast<int>(anchor.Bottom() * scale));
    EXPECT_EQ(menu.Session()->Hot(0), 0) << "opened from the keyboard";
    menu.Close();
    EXPECT_FALSE(menu.IsOpen());
}

} // namespace
} // namespace Velto::Widget::Testing
