#include "recording_widget.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/input/key_route.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace Velto::Widget {
namespace {

using Log = std::vector<std::string>;

KeyEvent Key(std::uint32_t key, std::uint32_t modifiers = 0) {
    return KeyEvent{key, 0, modifiers, false, false, false};
}

CharEvent AltChar(char32_t c) {
    return CharEvent{c, kModAlt, true};
}

// root: a, group{r1, r2, r3}, hidden, disabled, b. Only r1 of the group is
// a tab stop, as in a radio group.
struct FocusTree {
    Log log;
    RecordingWidget root{"root", log};
    RecordingWidget* a{nullptr};
    RecordingWidget* group{nullptr};
    RecordingWidget* r1{nullptr};
    RecordingWidget* r2{nullptr};
    RecordingWidget* r3{nullptr};
    RecordingWidget* hidden{nullptr};
    RecordingWidget* disabled{nullptr};
    RecordingWidget* b{nullptr};
    HeadlessHost host{root, DetachedTheme()};

    FocusTree() {
        a = AddFocusable(root, "a");
        group = root.Add(std::make_unique<RecordingWidget>("group", log));
        group->SetArrowKeyGroup(true);
        r1 = AddFocusable(*group, "r1");
        r2 = AddFocusable(*group, "r2");
        r3 = AddFocusable(*group, "r3");
        r2->SetTabStop(false);
        r3->SetTabStop(false);
        hidden = AddFocusable(root, "hidden");
        hidden->SetVisible(false);
        disabled = AddFocusable(root, "disabled");
        disabled->SetEnabled(false);
        b = AddFocusable(root, "b");
        host.Layout(SizeF{200, 200});
        log.clear();
    }
    RecordingWidget* AddFocusable(Widget& parent, std::string name) {
        auto* w = parent.Add(std::make_unique<RecordingWidget>(std::move(name), log));
        w->focusable = true;
        return w;
    }
};

TEST(RouterFocus, TabOrderWrapsBothWaysAndSkipsHiddenAndDisabled) {
    struct Step {
        std::uint32_t key;
        std::uint32_t modifiers;
        const char* focused;
    };
    const Step forward[] = {{kKeyTab, 0, "a"},         {kKeyTab, 0, "r1"},
                            {kKeyTab, 0, "b"},         {kKeyTab, 0, "a"},
                            {kKeyTab, kModShift, "b"}, {kKeyTab, kModShift, "r1"}};
    FocusTree tree;
    for (const Step& step : forward) {
        EXPECT_TRUE(tree.host.KeyDown(Key(step.key, step.modifiers)));
        ASSERT_NE(tree.host.Focused(), nullptr);
        EXPECT_EQ(static_cast<RecordingWidget*>(tree.host.Focused())->Name(), step.focused);
        EXPECT_TRUE(tree.host.FocusVisualShown());
    }

    FocusTree fresh;
    EXPECT_TRUE(fresh.host.KeyDown(Key(kKeyTab, kModShift)));
    EXPECT_EQ(fresh.host.Focused(), fresh.b) << "Shift+Tab with nothing focused takes the last";

    // Tab from a focused widget that is not a tab stop goes on from its place.
    fresh.r2->RequestFocus();
    EXPECT_FALSE(fresh.host.FocusVisualShown());
    EXPECT_TRUE(fresh.host.MoveFocus(true));
    EXPECT_EQ(fresh.host.Focused(), fresh.b);
    fresh.r2->RequestFocus();
    EXPECT_TRUE(fresh.host.MoveFocus(false));
    EXPECT_EQ(fresh.host.Focused(), fresh.r1);
}

TEST(RouterFocus, RefusesWidgetsThatCannotTakeFocusAndTellsTheChange) {
    FocusTree tree;
    EXPECT_FALSE(tree.host.SetFocus(tree.hidden, false));
    EXPECT_FALSE(tree.host.SetFocus(tree.disabled, false));
    EXPECT_FALSE(tree.host.SetFocus(tree.group, false)); // not focusable
    Log other;
    RecordingWidget stranger("stranger", other);
    stranger.focusable = true;
    EXPECT_FALSE(tree.host.SetFocus(&stranger, false));

    EXPECT_TRUE(tree.a->RequestFocus());
    EXPECT_TRUE(tree.b->RequestFocus());
    EXPECT_EQ(tree.log, (Log{"a:focus", "a:blur", "b:focus"}));
    // Hiding the focused widget's parent takes focus away.
    EXPECT_TRUE(tree.r1->RequestFocus());
    tree.group->SetVisible(false);
    EXPECT_EQ(tree.host.Focused(), nullptr);
    EXPECT_EQ(tree.log.back(), "r1:blur");
}

TEST(RouterFocus, TheFocusRingIsDrawnOnlyForKeyboardFocus) {
    FocusTree tree;
    const auto rings = [&tree] {
        tree.log.clear();
        tree.host.Render(SizeF{20, 20});
        return std::count(tree.log.begin(), tree.log.end(), "a:ring");
    };
    tree.host.KeyDown(Key(kKeyTab));
    EXPECT_EQ(rings(), 1);
    tree.a->RequestFocus(false);
    EXPECT_EQ(rings(), 0);
}

TEST(RouterFocus, ArrowKeysMoveWithinTheGroupAndWrap) {
    struct Step {
        std::uint32_t key;
        std::uint32_t modifiers;
        bool handled;
        const char* focused;
    };
    const Step steps[] = {
        {kKeyRight, 0, true, "r2"},        {kKeyDown, 0, true, "r3"},
        {kKeyRight, 0, true, "r1"},        {kKeyLeft, 0, true, "r3"},
        {kKeyUp, 0, true, "r2"},           {kKeyRight, kModShift, false, "r2"},
        {kKeyDown, kModCtrl, false, "r2"},
    };
    FocusTree tree;
    tree.r1->RequestFocus(true);
    for (const Step& step : steps) {
        EXPECT_EQ(tree.host.KeyDown(Key(step.key, step.modifiers)), step.handled) << step.key;
        EXPECT_EQ(static_cast<RecordingWidget*>(tree.host.Focused())->Name(), step.focused);
    }
    // Outside a group arrows do nothing.
    tree.a->RequestFocus(true);
    EXPECT_FALSE(tree.host.KeyDown(Key(kKeyRight)));
    EXPECT_EQ(tree.host.Focused(), tree.a);
}

TEST(RouterKeys, GoToTheFocusedWidgetThenItsAncestorsUntilHandled) {
    FocusTree tree;
    tree.r1->RequestFocus();
    tree.log.clear();
    tree.host.KeyDown(Key('X'));
    tree.host.KeyUp(Key('X'));
    EXPECT_EQ(tree.log, (Log{"r1:down88", "group:down88", "root:down88", "r1:up88", "group:up88",
                             "root:up88"}));

    tree.log.clear();
    tree.group->handleKeys = true;
    EXPECT_TRUE(tree.host.KeyDown(Key('X')));
    EXPECT_EQ(tree.log, (Log{"r1:down88", "group:down88"}));

    // Nothing focused: the root gets it.
    tree.host.SetFocus(nullptr, false);
    tree.log.clear();
    tree.host.KeyDown(Key('X'));
    EXPECT_EQ(tree.log, (Log{"root:down88"}));
}

TEST(RouterKeys, AWidgetRemovedDuringTheDispatchEndsTheWalk) {
    Log log;
    RecordingWidget root("root", log);
    HeadlessHost host(root, DetachedTheme());
    auto* outer = root.Add(std::make_unique<RecordingWidget>("outer", log));
    auto* inner = outer->Add(std::make_unique<RecordingWidget>("inner", log));
    inner->focusable = true;
    inner->RequestFocus();
    log.clear();
    // The focused widget's handler destroys its own parent, and so itself.
    inner->onEvent = [&root, outer] { root.RemoveChild(outer); };
    EXPECT_FALSE(host.KeyDown(Key('Q')));
    EXPECT_EQ(log, (Log{"inner:down81"}));
    EXPECT_EQ(host.Focused(), nullptr);
    EXPECT_TRUE(root.Children().empty());
}

TEST(RouterKeys, UnhandledKeysReachTheHostHook) {
    FocusTree tree;
    std::vector<std::uint32_t> unhandled;
    tree.host.SetUnhandledKeyHandler([&](const KeyEvent& e) {
        unhandled.push_back(e.virtualKey);
        return e.virtualKey == kKeyEnter;
    });
    tree.a->RequestFocus();
    EXPECT_TRUE(tree.host.KeyDown(Key(kKeyEnter)));
    EXPECT_FALSE(tree.host.KeyDown(Key(kKeyEscape)));
    tree.a->handleKeys = true;
    EXPECT_TRUE(tree.host.KeyDown(Key(kKeyEscape)));
    EXPECT_TRUE(tree.host.KeyDown(Key(kKeyTab))); // Tab is the host's own
    EXPECT_EQ(unhandled, (std::vector<std::uint32_t>{kKeyEnter, kKeyEscape}));
}

TEST(RouterKeys, RoutesSeeKeysFirstNewestFirstAndMayEndThemselves) {
    FocusTree tree;
    tree.a->RequestFocus();
    tree.log.clear();
    Log seen;
    auto older = std::make_unique<KeyRoute>(tree.host, RouteHandlers{[&](const KeyEvent&) {
                                                                         seen.push_back("older");
                                                                         return true;
                                                                     },
                                                                     {},
                                                                     {},
                                                                     {}});
    std::unique_ptr<KeyRoute> newer;
    newer = std::make_unique<KeyRoute>(tree.host, RouteHandlers{[&](const KeyEvent&) {
                                                                    seen.push_back("newer");
                                                                    newer.reset(); // a menu closing
                                                                    return false;
                                                                },
                                                                {},
                                                                {},
                                                                {}});
    EXPECT_TRUE(tree.host.KeyDown(Key('K')));
    EXPECT_TRUE(tree.host.KeyDown(Key('K')));
    EXPECT_EQ(seen, (Log{"newer", "older", "older"}));
    EXPECT_TRUE(tree.log.empty()) << "the tree never saw the consumed keys";

    // A route without a character handler lets characters through.
    EXPECT_FALSE(tree.host.Char(CharEvent{'k', 0, false}));
    EXPECT_EQ(tree.log, (Log{"a:char107", "root:char107"}));
    older.reset();
    tree.host.KeyDown(Key('K'));
    EXPECT_EQ(seen.size(), 3u);
}

TEST(RouterKeys, TheCharacterOfAKeyThatEndedItsRouteIsNotTyped) {
    FocusTree tree;
    tree.a->RequestFocus();
    tree.log.clear();
    // A menu that chooses an item by its access key and closes.
    std::unique_ptr<KeyRoute> menu;
    menu = std::make_unique<KeyRoute>(tree.host, RouteHandlers{[&](const KeyEvent&) {
                                                                   menu.reset();
                                                                   return true;
                                                               },
                                                               {},
                                                               {},
                                                               {}});
    EXPECT_TRUE(tree.host.KeyDown(Key('P')));
    EXPECT_TRUE(tree.host.Char(CharEvent{'p', 0, false}));
    EXPECT_TRUE(tree.log.empty()) << "the press belonged to the menu";
    // The next press types as usual.
    tree.host.KeyDown(Key('Q'));
    tree.host.Char(CharEvent{'q', 0, false});
    EXPECT_EQ(tree.log, (Log{"a:down81", "root:down81", "a:char113", "root:char113"}));
}

TEST(RouterKeys, ARouteMayOutliveItsRouter) {
    Log log;
    RecordingWidget root("root", log);
    auto host = std::make_unique<HeadlessHost>(root, DetachedTheme());
    KeyRoute route(*host, RouteHandlers{});
    host.reset();
    EXPECT_EQ(route.Router(), nullptr);
}

TEST(RouterChars, SurrogatesAreJoinedAndControlCharactersDropped) {
    struct Case {
        std::vector<char32_t> units;
        Log delivered;
    };
    const Case cases[] = {
        {{U'a'}, {"a:char97"}},
        {{0xD83D, 0xDE00}, {"a:char128512"}}, // U+1F600 in two halves
        {{U'\x01'}, {}},                      // control character
        {{U'\x7f'}, {}},                      // delete
        {{U'\r'}, {}},                        // Enter comes as a key
        {{0xDC00}, {}},                       // a low surrogate alone
        {{0xD83D, U'b'}, {"a:char98"}},       // a high surrogate without its pair
        {{0xD83D, 0xD83D, 0xDE00}, {"a:char128512"}},
        {{0x1F600}, {"a:char128512"}}, // already a whole code point
    };
    for (const Case& c : cases) {
        FocusTree tree;
        tree.a->RequestFocus();
        tree.a->handleKeys = true;
        tree.log.clear();
        for (const char32_t unit : c.units)
            tree.host.Char(CharEvent{unit, 0, false});
        EXPECT_EQ(tree.log, c.delivered) << static_cast<std::uint32_t>(c.units.front());
    }
}

TEST(RouterAccessKeys, AltLetterAlternatesBetweenWidgetsWithTheSameKey) {
    FocusTree tree;
    tree.a->accessKey = U'S';
    tree.b->accessKey = U's'; // compared upper-cased
    tree.hidden->accessKey = U'S';
    tree.r1->accessKey = U'T';
    const RecordingWidget* expected[] = {tree.a, tree.b, tree.a, tree.b};
    for (const RecordingWidget* widget : expected) {
        EXPECT_TRUE(tree.host.Char(AltChar(U's')));
        EXPECT_EQ(tree.host.Focused(), widget);
    }
    EXPECT_TRUE(tree.host.Char(AltChar(U'T')));
    EXPECT_EQ(tree.host.Focused(), tree.r1);
    EXPECT_FALSE(tree.host.Char(AltChar(U'q')));
    // Without Alt the character is typed, not an access key.
    tree.log.clear();
    tree.host.Char(CharEvent{U's', 0, false});
    EXPECT_EQ(tree.log, (Log{"r1:char115", "group:char115", "root:char115"}));
}

TEST(RouterAccessKeys, AltShowsTheCuesAndEscapeOrAFocusChangeHidesThem) {
    FocusTree tree;
    EXPECT_FALSE(tree.host.KeyDown(Key(kKeyAlt, kModAlt))) << "Alt itself stays unhandled";
    EXPECT_TRUE(tree.host.AccessKeyCuesShown());
    EXPECT_TRUE(tree.root.GetHost()->AccessKeyCuesShown()); // what widgets ask
    tree.log.clear();
    tree.host.KeyDown(Key(kKeyEscape));
    EXPECT_FALSE(tree.host.AccessKeyCuesShown());
    EXPECT_EQ(tree.log, (Log{"root:down27"})) << "the Escape still goes on to the tree";

    tree.host.KeyDown(Key(kKeyAlt, kModAlt));
    tree.a->RequestFocus(true);
    EXPECT_FALSE(tree.host.AccessKeyCuesShown());

    // A widget that takes Alt itself gets it, and no cues show.
    tree.a->takesAlt = true;
    tree.log.clear();
    tree.host.KeyDown(Key(kKeyAlt, kModAlt));
    EXPECT_FALSE(tree.host.AccessKeyCuesShown());
    EXPECT_EQ(tree.log.front(), "a:down18");
}

TEST(RouterIme, GoesToAFocusedWidgetThatAllowsItAndPlacesTheCandidates) {
    Log log;
    Stack root;
    HeadlessHost host(root, DetachedTheme(), 2.0f);
    root.Add(std::make_unique<RecordingWidget>("top", log))->SetHeight(30);
    auto* box = root.Add(std::make_unique<RecordingWidget>("box", log));
    box->SetHeight(40);
    box->SetMargin(Thickness{10, 0, 0, 0});
    box->focusable = true;
    box->caret = RectF{5, 2, 1, 20};
    host.Layout(SizeF{200, 200});
    box->RequestFocus();

    ImeEvent composition{ImeEventKind::CompositionChanged, u"\u314e", 1, {0}};
    EXPECT_FALSE(host.Ime(composition)) << "the box does not allow input-method input";
    EXPECT_FALSE(host.ImeWindow());

    box->allowsIme = true;
    box->handleKeys = true;
    EXPECT_TRUE(host.Ime(ImeEvent{ImeEventKind::CompositionStarted, {}, 0, {}}));
    EXPECT_FALSE(host.ImeWindow());
    EXPECT_TRUE(host.Ime(composition));
    ASSERT_TRUE(host.ImeWindow());
    EXPECT_EQ(*host.ImeWindow(), (RectF{30, 64, 2, 40})); // (10 + 5, 30 + 2) x 2
    EXPECT_EQ(log, (Log{"box:focus", "box:ime0", "box:ime1"}));
}

} // namespace
} // namespace Velto::Widget

namespace Velto::Widget {
namespace {

TEST(RouterTree, ANewRootReplacesTheOldTreeAndItsState) {
    Log log;
    RecordingWidget owner("owner", log);
    HeadlessHost host(owner, DetachedTheme());
    auto first = std::make_unique<RecordingWidget>("first", log);
    first->focusable = true;
    Widget* firstRoot = host.SetRoot(std::move(first));
    ASSERT_EQ(host.Root(), firstRoot);
    EXPECT_EQ(owner.GetHost(), nullptr) << "the previous root is let go";
    firstRoot->RequestFocus();
    firstRoot->StartTimer(
        1, [] {}, true);

    auto second = std::make_unique<RecordingWidget>("second", log);
    RecordingWidget* secondRoot = second.get();
    host.SetRoot(std::move(second));
    EXPECT_EQ(host.Focused(), nullptr);
    EXPECT_FALSE(host.HasTimers());
    EXPECT_TRUE(host.LayoutRequested());
    host.Layout(SizeF{40, 30});
    EXPECT_EQ(secondRoot->ActualWidth(), 40);
}

TEST(RouterTree, ACallerOwnedRootDestroyedFirstIsForgotten) {
    Log log;
    auto root = std::make_unique<RecordingWidget>("root", log);
    root->hittable = true;
    HeadlessHost host(*root, DetachedTheme());
    host.Layout(SizeF{10, 10});
    host.PointerMove(PointerEvent{PointF{1, 1}});
    root.reset();
    EXPECT_EQ(host.Root(), nullptr);
    EXPECT_EQ(host.Hovered(), nullptr);
    host.PointerMove(PointerEvent{PointF{2, 2}});
    EXPECT_FALSE(host.MoveFocus(true));
    EXPECT_FALSE(host.KeyDown(Key('A')));
}

} // namespace
} // namespace Velto::Widget
