// The running menu without a display: keys through the owner's key route,
// pointer tracking across levels, submenu timing on the fake clock,
// choosing and closing.
#include "menu_rig.h"
#include "widget/menu/context_menu.h"
#include "widget/menu/menu_session.h"

#include <gtest/gtest.h>

namespace Velto::Widget::Menus {
namespace {

std::vector<MenuItem> Mixed() {
    // 0 Open, 1 separator, 2 Save (disabled), 3 Print, 4 separator, 5 Export >
    return {
        Command(1, u"&Open"),
        Separator(),
        Command(2, u"&Save", false),
        Command(3, u"&Print"),
        Separator(),
        Submenu(4, u"&Export", {Command(41, u"&PDF"), Command(42, u"P&NG"), Command(43, u"&SVG")})};
}

struct Chosen {
    std::vector<MenuItem> items;
    int closed{0};
};

struct SessionTest : ::testing::Test {
    MenuRig rig;
    ContextMenu menu;
    Chosen chosen;

    void SetUp() override {
        menu.SetOnItemChosen([this](MenuItem item) { chosen.items.push_back(std::move(item)); });
        menu.SetOnClosed([this] { ++chosen.closed; });
    }
    MenuSession& Open(std::vector<MenuItem> items, bool fromKeyboard = false,
                      PixelRect anchor = PixelRect{100, 100, 0, 0}) {
        menu.SetItems(std::move(items));
        EXPECT_TRUE(menu.Open(rig.Services(), anchor, fromKeyboard));
        return *menu.Session();
    }
};

TEST_F(SessionTest, ArrowKeysSkipSeparatorsAndDisabledItemsAndWrap) {
    MenuSession& session = Open(Mixed());
    EXPECT_EQ(session.Hot(0), -1);
    struct Step {
        std::uint32_t key;
        int hot;
    };
    const Step steps[] = {
        {kKeyDown, 0}, {kKeyDown, 3}, {kKeyDown, 5}, {kKeyDown, 0}, // wraps past the end
        {kKeyUp, 5},   {kKeyUp, 3},   {kKeyUp, 0},   {kKeyUp, 5},   // and past the start
        {kKeyHome, 0}, {kKeyEnd, 5},
    };
    for (const Step& step : steps) {
        EXPECT_TRUE(rig.Key(step.key));
        EXPECT_EQ(session.Hot(0), step.hot) << "after key " << step.key;
        EXPECT_EQ(rig.Level(0)->panel.Hot(), step.hot);
    }
    // Up from nothing starts at the last item.
    MenuSession& again = Open(Mixed());
    rig.Key(kKeyUp);
    EXPECT_EQ(again.Hot(0), 5);
    // Neither the separator nor the disabled item can be made hot at all.
    again.HotChanged(0, 1, true);
    again.HotChanged(0, 2, true);
    EXPECT_EQ(again.Hot(0), 5);
}

TEST_F(SessionTest, KeysStayWithTheMenuWhileItIsOpen) {
    Open(Mixed());
    rig.Key(kKeyDown);
    rig.Key('Q');           // no such access key: swallowed
    rig.Key('C', kModCtrl); // a shortcut of the window underneath: swallowed
    rig.host.Char(CharEvent{U'q', 0, false});
    EXPECT_TRUE(rig.focused->keys.empty());
    EXPECT_TRUE(rig.focused->chars.empty());
    EXPECT_TRUE(menu.IsOpen());
    // Shift and Ctrl themselves pass on.
    rig.Key(kKeyShift);
    rig.Key(kKeyCtrl);
    EXPECT_EQ(rig.focused->keys, (std::vector<std::uint32_t>{kKeyShift, kKeyCtrl}));
    // Once closed, keys reach the focused widget again.
    rig.Key(kKeyEscape);
    EXPECT_FALSE(menu.IsOpen());
    rig.Key(kKeyDown);
    EXPECT_EQ(rig.focused->keys.back(), kKeyDown);
}

TEST_F(SessionTest, SharedAccessKeyAlternatesAndASingleOneChooses) {
    // "&Print" and "&PDF"-like clashes: two items on P, one on O.
    MenuSession& session =
        Open({Command(1, u"&Open"), Command(2, u"&Paste"), Command(3, u"&Delete", false),
              Command(4, u"&Print"), Command(5, u"&paint")});
    rig.Key('P');
    EXPECT_EQ(session.Hot(0), 1);
    rig.Key('P');
    EXPECT_EQ(session.Hot(0), 3);
    rig.Key('P');
    EXPECT_EQ(session.Hot(0), 4); // lower case "&p" counts as P
    rig.Key('P');
    EXPECT_EQ(session.Hot(0), 1); // wraps
    EXPECT_TRUE(menu.IsOpen());
    EXPECT_TRUE(chosen.items.empty());
    rig.Key('D'); // only a disabled item bears D
    EXPECT_TRUE(menu.IsOpen());
    rig.Key('O');
    EXPECT_FALSE(menu.IsOpen());
    rig.RunPosted();
    ASSERT_EQ(chosen.items.size(), 1u);
    EXPECT_EQ(chosen.items[0].id, 1u);
}

TEST_F(SessionTest, ChoiceRunsAfterTheWindowsAreHiddenAndTheMenuClosed) {
    bool sawHidden = false;
    int closedBefore = -1;
    menu.SetOnItemChosen([&](MenuItem item) {
        sawHidden = rig.ShownLevels() == 0 && !menu.IsOpen();
        closedBefore = chosen.closed;
        chosen.items.push_back(std::move(item));
    });
    Open(Mixed(), true);
    ASSERT_EQ(rig.ShownLevels(), 1);
    // Opened from the keyboard: the first item is hot; Enter chooses it.
    EXPECT_EQ(menu.Session()->Hot(0), 0);
    rig.Key(kKeyEnter);
    EXPECT_EQ(rig.ShownLevels(), 0);
    EXPECT_TRUE(chosen.items.empty()) << "the handler waits for the posted task";
    rig.RunPosted();
    ASSERT_EQ(chosen.items.size(), 1u);
    EXPECT_TRUE(sawHidden);
    EXPECT_EQ(closedBefore, 1);
    EXPECT_TRUE(rig.live.empty()) << "the level windows are destroyed later";
}

TEST_F(SessionTest, RadioAndCheckItemsKeepTheirMarksForTheNextShowing) {
    Open({Radio(1, u"&Small", 7, true), Radio(2, u"&Medium", 7, false),
          Radio(3, u"&Large", 7, false), Radio(4, u"&Other group", 8, true),
          Check(5, u"&Wrap", false)});
    rig.Key('L');
    rig.RunPosted();
    ASSERT_EQ(chosen.items.size(), 1u);
    EXPECT_TRUE(chosen.items[0].checked);
    const auto& items = menu.Items();
    EXPECT_FALSE(items[0].checked);
    EXPECT_FALSE(items[1].checked);
    EXPECT_TRUE(items[2].checked);
    EXPECT_TRUE(items[3].checked) << "another group is left alone";

    // The next showing starts from those marks; a check item toggles.
    ASSERT_TRUE(menu.Open(rig.Services(), PixelRect{100, 100, 0, 0}, false));
    EXPECT_TRUE(menu.Session()->Items()[2].checked);
    rig.Key('W');
    rig.RunPosted();
    EXPECT_TRUE(menu.Items()[4].checked);
    EXPECT_TRUE(chosen.items.back().checked);
}

TEST_F(SessionTest, SubmenusByKeyboard) {
    MenuSession& session = Open(Mixed());
    rig.Key(kKeyEnd); // Export
    rig.Key(kKeyRight);
    ASSERT_EQ(session.LevelCount(), 2);
    EXPECT_EQ(session.Hot(1), 0) << "a submenu opened by key starts on its first item";
    rig.Key(kKeyDown);
    EXPECT_EQ(session.Hot(1), 1);
    EXPECT_EQ(session.Hot(0), 5) << "keys go to the innermost level";
    rig.Key(kKeyLeft);
    EXPECT_EQ(session.LevelCount(), 1);
    EXPECT_EQ(session.Hot(0), 5);
    rig.Key(kKeyEnter);
    EXPECT_EQ(session.LevelCount(), 2);
    rig.Key(kKeyEscape); // the innermost level only
    EXPECT_EQ(session.LevelCount(), 1);
    EXPECT_TRUE(menu.IsOpen());
    rig.Key('E'); // the access key of a submenu opens it
    EXPECT_EQ(session.LevelCount(), 2);
    rig.Key('N');
    EXPECT_FALSE(menu.IsOpen());
    rig.RunPosted();
    ASSERT_EQ(chosen.items.size(), 1u);
    EXPECT_EQ(chosen.items[0].id, 42u);
}

TEST_F(SessionTest, KeysThatCloseTheWholeMenu) {
    for (const std::uint32_t key : {kKeyTab, kKeyAlt, KeyF(10)}) {
        MenuSession& session = Open(Mixed());
        rig.Key(kKeyEnd);
        rig.Key(kKeyRight);
        ASSERT_EQ(session.LevelCount(), 2);
        const int closedBefore = chosen.closed;
        EXPECT_TRUE(rig.Key(key));
        EXPECT_FALSE(menu.IsOpen()) << "key " << key;
        EXPECT_EQ(chosen.closed, closedBefore + 1);
        EXPECT_EQ(rig.ShownLevels(), 0);
    }
    // Escape on the last level closes the menu.
    Open(Mixed());
    rig.Key(kKeyEscape);
    EXPECT_FALSE(menu.IsOpen());
    rig.RunPosted();
    EXPECT_TRUE(chosen.items.empty());
}

TEST_F(SessionTest, MenuBarNeighboursOnLeftAndRight) {
    MenuSession& session = Open(Mixed());
    std::vector<MenuSession::MenuBarMove> moves;
    session.SetMenuBarHandler([&](MenuSession::MenuBarMove m) { moves.push_back(m); });
    rig.Key(kKeyHome);
    rig.Key(kKeyLeft);
    rig.Key(kKeyRight); // Open is no submenu: the next menu
    EXPECT_EQ(moves,
              (std::vector{MenuSession::MenuBarMove::Previous, MenuSession::MenuBarMove::Next}));
    rig.Key(kKeyEnd);
    rig.Key(kKeyRight); // opens Export instead
    rig.Key(kKeyRight); // inside the submenu: nothing to ask
    EXPECT_EQ(moves.size(), 2u);
    EXPECT_EQ(session.LevelCount(), 2);
}

TEST_F(SessionTest, HoverOpensSubmenusAfterTheDelay) {
    MenuSession& session = Open(Mixed());
    FakeLevel& top = *rig.Level(0);
    session.PointerMove(top.ItemCentre(5));
    EXPECT_EQ(session.Hot(0), 5);
    rig.host.AdvanceTime(0.3);
    EXPECT_EQ(session.LevelCount(), 1);
    rig.host.AdvanceTime(0.06);
    ASSERT_EQ(session.LevelCount(), 2);
    EXPECT_EQ(session.Hot(1), -1) << "the pointer opens a submenu with nothing hot";

    // Into the submenu, and back: the submenu stays while its item is hot,
    // and crossing a separator or a disabled item highlights nothing.
    FakeLevel& sub = *rig.Level(1);
    session.PointerMove(sub.ItemCentre(2));
    EXPECT_EQ(session.Hot(1), 2);
    session.PointerMove(top.ItemCentre(5));
    EXPECT_EQ(session.LevelCount(), 2);
    session.PointerMove(top.ItemCentre(4));
    EXPECT_EQ(session.Hot(0), -1);
    EXPECT_EQ(session.LevelCount(), 2);
    session.PointerMove(top.ItemCentre(2));
    EXPECT_EQ(session.Hot(0), -1);
    // Another item closes it.
    session.PointerMove(top.ItemCentre(3));
    EXPECT_EQ(session.Hot(0), 3);
    EXPECT_EQ(session.LevelCount(), 1);

    // Leaving the submenu item before the delay cancels the opening.
    session.PointerMove(top.ItemCentre(5));
    rig.host.AdvanceTime(0.2);
    session.PointerMove(top.ItemCentre(3));
    rig.host.AdvanceTime(1);
    EXPECT_EQ(session.LevelCount(), 1);
}

TEST_F(SessionTest, SubmenuTimerOfAClosedMenuDoesNothing) {
    menu.SetHoverDelay(0.5);
    MenuSession& session = Open(Mixed());
    session.PointerMove(rig.Level(0)->ItemCentre(5));
    menu.Close();
    rig.host.AdvanceTime(1);
    EXPECT_EQ(rig.ShownLevels(), 0);
    // Nor does one whose session is gone entirely.
    std::weak_ptr<MenuSession> weak;
    {
        auto alone = MenuSession::Create(rig.Services(), Mixed());
        weak = alone;
        ASSERT_TRUE(alone->Open(PixelRect{10, 10, 0, 0}, false));
        alone->PointerMove(rig.Level(0)->ItemCentre(5));
    }
    EXPECT_TRUE(weak.expired());
    rig.host.AdvanceTime(1);
    EXPECT_EQ(rig.ShownLevels(), 0);
}

TEST_F(SessionTest, AMenuUnderARestingPointerWaitsForItToMove) {
    MenuServices services = rig.Services();
    services.pointerPosition = [] { return std::optional<PointF>(PointF{150, 120}); };
    menu.SetItems(Mixed());
    ASSERT_TRUE(menu.Open(services, PixelRect{100, 100, 0, 0}, false));
    MenuSession& session = *menu.Session();
    // A window appearing under the pointer reports it where it already was.
    session.PointerMove(PointF{150, 120});
    EXPECT_EQ(session.Hot(0), -1);
    session.PointerMove(PointF{150, 121});
    EXPECT_EQ(session.Hot(0), 0);
}

TEST_F(SessionTest, NoHoverDelayOpensAtOnce) {
    menu.SetHoverDelay(0);
    MenuSession& session = Open(Mixed());
    session.PointerMove(rig.Level(0)->ItemCentre(5));
    EXPECT_EQ(session.LevelCount(), 2);
}

TEST_F(SessionTest, ClicksChooseAndPressesOutsideClose) {
    MenuSession& session = Open(Mixed());
    FakeLevel& top = *rig.Level(0);
    // The release of the click that opened the menu chooses nothing.
    session.PointerUp(top.ItemCentre(3), PointerButton::Left);
    EXPECT_TRUE(menu.IsOpen());
    // A click on a disabled item or a separator neither.
    for (const int index : {1, 2}) {
        session.PointerDown(top.ItemCentre(index), PointerButton::Left, 1);
        session.PointerUp(top.ItemCentre(index), PointerButton::Left);
        EXPECT_TRUE(menu.IsOpen());
    }
    // A press on a submenu item opens it at once; a click inside chooses.
    session.PointerDown(top.ItemCentre(5), PointerButton::Left, 1);
    ASSERT_EQ(session.LevelCount(), 2);
    session.PointerUp(top.ItemCentre(5), PointerButton::Left);
    EXPECT_TRUE(menu.IsOpen());
    FakeLevel& sub = *rig.Level(1);
    session.PointerDown(sub.ItemCentre(2), PointerButton::Left, 1);
    session.PointerUp(sub.ItemCentre(2), PointerButton::Left);
    EXPECT_FALSE(menu.IsOpen());
    rig.RunPosted();
    ASSERT_EQ(chosen.items.size(), 1u);
    EXPECT_EQ(chosen.items[0].id, 43u);

    // Any button pressed outside every level closes without a choice.
    for (const PointerButton button :
         {PointerButton::Left, PointerButton::Right, PointerButton::Middle}) {
        MenuSession& again = Open(Mixed());
        again.PointerDown(PointF{5, 5}, button, 1);
        EXPECT_FALSE(menu.IsOpen());
    }
    rig.RunPosted();
    EXPECT_EQ(chosen.items.size(), 1u);
}

TEST_F(SessionTest, OutsideHandlersAndLostCapture) {
    MenuSession& session = Open(Mixed());
    std::vector<PointF> moves;
    bool take = true;
    session.SetOutsideMoveHandler([&](PointF p) { moves.push_back(p); });
    session.SetOutsidePressHandler([&](PointF, PointerButton) { return take; });
    session.PointerMove(PointF{1, 2});
    EXPECT_EQ(moves.size(), 1u);
    session.PointerDown(PointF{1, 2}, PointerButton::Left, 1);
    EXPECT_TRUE(menu.IsOpen()) << "the handler took the press";
    take = false;
    session.PointerDown(PointF{1, 2}, PointerButton::Left, 2);
    EXPECT_FALSE(menu.IsOpen());

    Open(Mixed());
    const int closedBefore = chosen.closed;
    menu.Session()->CaptureLost();
    EXPECT_FALSE(menu.IsOpen());
    EXPECT_EQ(chosen.closed, closedBefore + 1);
}

TEST_F(SessionTest, MenuGoneFromItsOwnClosedHandlerStillDeliversTheChoice) {
    auto owned = std::make_unique<ContextMenu>();
    std::vector<std::uint32_t> ids;
    owned->SetItems(Mixed());
    owned->SetOnItemChosen([&](MenuItem item) { ids.push_back(item.id); });
    owned->SetOnClosed([&] { owned.reset(); });
    ASSERT_TRUE(owned->Open(rig.Services(), PixelRect{50, 50, 0, 0}, true));
    rig.Key(kKeyEnter);
    EXPECT_EQ(owned, nullptr);
    rig.RunPosted();
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(rig.ShownLevels(), 0);
}

TEST_F(SessionTest, DestroyingAnOpenMenuHidesItQuietly) {
    auto owned = std::make_unique<ContextMenu>();
    int closed = 0;
    owned->SetItems(Mixed());
    owned->SetOnClosed([&] { ++closed; });
    ASSERT_TRUE(owned->Open(rig.Services(), PixelRect{50, 50, 0, 0}, false));
    owned.reset();
    EXPECT_EQ(rig.ShownLevels(), 0);
    EXPECT_EQ(closed, 0);
    rig.Key(kKeyDown);
    EXPECT_EQ(rig.focused->keys.back(), kKeyDown) << "the key route went with it";
}

TEST_F(SessionTest, NoLevelWindowMeansNoMenu) {
    MenuServices services = rig.Services();
    services.createLevel = [](MenuSession&, int) { return std::unique_ptr<MenuLevelWindow>(); };
    menu.SetItems(Mixed());
    EXPECT_FALSE(menu.Open(services, PixelRect{}, false));
    EXPECT_FALSE(menu.IsOpen());
    EXPECT_EQ(chosen.closed, 0);
    rig.Key(kKeyDown);
    EXPECT_EQ(rig.focused->keys.back(), kKeyDown);
}

// Placement of whole menus: the work area is 1920 x 1040 under a 40-pixel
// panel at the top, at 150 %.
struct PlacedTest : SessionTest {
    void SetUp() override {
        SessionTest::SetUp();
        rig.workArea = PixelRect{0, 40, 1920, 1040};
        rig.scale = 1.5f;
    }
};

TEST_F(PlacedTest, NearTheBottomAMenuOpensAbove) {
    Open(Mixed(), false, PixelRect{300, 1000, 0, 0});
    const PixelRect top = rig.Level(0)->bounds;
    EXPECT_EQ(top.Bottom(), 1000);
    EXPECT_EQ(top.x, 300);
    // 4 + 4 x 32 + 2 x 9 + 4 DIPs at 150 %.
    EXPECT_EQ(top.height, 231);
    // With room below it hangs from the point.
    Open(Mixed(), false, PixelRect{300, 500, 0, 0});
    EXPECT_EQ(rig.Level(0)->bounds.y, 500);
}

TEST_F(PlacedTest, NearTheRightEdgeASubmenuOpensToTheLeft) {
    MenuSession& session = Open(Mixed(), false, PixelRect{1700, 200, 0, 0});
    const PixelRect top = rig.Level(0)->bounds;
    rig.Key(kKeyEnd);
    rig.Key(kKeyRight);
    ASSERT_EQ(session.LevelCount(), 2);
    const PixelRect sub = rig.Level(1)->bounds;
    EXPECT_EQ(sub.Right(), top.x);
    // Level with its item: Export's band starts 4 + 4 x 32 + 2 x 9 - 32 DIPs down.
    EXPECT_EQ(sub.y, top.y + 177);
    // Far from the edge it opens to the right.
    MenuSession& again = Open(Mixed(), false, PixelRect{200, 200, 0, 0});
    rig.Key(kKeyEnd);
    rig.Key(kKeyRight);
    ASSERT_EQ(again.LevelCount(), 2);
    EXPECT_EQ(rig.Level(1)->bounds.x, rig.Level(0)->bounds.Right());
}

TEST_F(PlacedTest, AMenuTallerThanTheWorkAreaStartsAtItsTop) {
    std::vector<MenuItem> many;
    for (std::uint32_t i = 0; i < 40; ++i)
        many.push_back(Command(i, u"Item"));
    Open(std::move(many), false, PixelRect{600, 700, 0, 0});
    const PixelRect top = rig.Level(0)->bounds;
    EXPECT_GT(top.height, 1040);
    EXPECT_EQ(top.y, 40);
}

} // namespace
} // namespace Velto::Widget::Menus
