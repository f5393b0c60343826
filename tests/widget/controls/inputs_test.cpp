// The text, number and combo boxes through the headless host: typing, the
// clipboard, password masking, number commits and steps, and the combo
// box's keys and open list.
#include "widget/controls/combo_box.h"
#include "widget/controls/combo_panel.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/list/system_timing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace Velto::Widget::Controls {
namespace {

ImeEvent Ime(ImeEventKind kind, std::u16string text = {}, int cursor = 0) {
    ImeEvent event;
    event.kind = kind;
    event.text = std::move(text);
    event.cursor = cursor;
    return event;
}

const Theme kLight = LightTheme(kDefaultAccent);
constexpr SizeF kSize{400, 300};

struct Panel {
    Stack root{Orientation::Vertical, 8};
    HeadlessHost host{root, kLight};
    std::optional<std::u16string> clipboard;
    int clipboardWrites{0};

    TextClipboard Clipboard() {
        TextClipboard c;
        c.read = [this] { return clipboard; };
        c.write = [this](std::u16string_view text) {
            clipboard = std::u16string(text);
            ++clipboardWrites;
            return true;
        };
        c.hasText = [this] { return clipboard.has_value(); };
        return c;
    }
    template <typename T> T* Add(std::unique_ptr<T> widget) {
        T* raw = root.Add(std::move(widget));
        host.Layout(kSize);
        return raw;
    }
    void Type(std::u16string_view text) {
        for (char16_t c : text)
            host.Char(CharEvent{c});
    }
    bool Key(std::uint32_t key, std::uint32_t modifiers = 0) {
        const bool handled = host.KeyDown(KeyEvent{key, 0, modifiers});
        host.KeyUp(KeyEvent{key, 0, modifiers});
        return handled;
    }
};

TEST(TextBox, TypingSelectAllCopyPasteAndUndo) {
    Panel p;
    TextBox* box = p.Add(std::make_unique<TextBox>());
    box->SetClipboard(p.Clipboard());
    int changes = 0;
    box->SetOnTextChanged([&] { ++changes; });
    box->RequestFocus(true);
    p.Type(u"hello");
    EXPECT_EQ(box->GetText(), u"hello");
    EXPECT_EQ(changes, 5);
    p.Key(KeyOf('A'), kModCtrl);
    p.Key(KeyOf('C'), kModCtrl);
    EXPECT_EQ(p.clipboard, u"hello");
    p.Key(kKeyEnd);
    p.Key(KeyOf('V'), kModCtrl);
    EXPECT_EQ(box->GetText(), u"hellohello");
    p.Key(KeyOf('Z'), kModCtrl);
    EXPECT_EQ(box->GetText(), u"hello");
    p.Key(KeyOf('Y'), kModCtrl);
    EXPECT_EQ(box->GetText(), u"hellohello");
    p.Key(KeyOf('Z'), kModCtrl | kModShift); // nothing left to redo
    p.Key(kKeyHome);
    p.Key(kKeyRight, kModShift);
    p.Key(kKeyDelete, kModShift); // Shift+Delete cuts
    EXPECT_EQ(p.clipboard, u"h");
    EXPECT_EQ(box->GetText(), u"ellohello");
    // Enter is left to the dialog unless the owner takes it.
    EXPECT_FALSE(p.Key(kKeyEnter));
    int enters = 0;
    box->SetOnEnter([&] { ++enters; });
    EXPECT_TRUE(p.Key(kKeyEnter));
    EXPECT_EQ(enters, 1);
}

TEST(TextBox, PasswordIsNeverCopiedAndHidesItsText) {
    Panel p;
    TextBox* box = p.Add(std::make_unique<TextBox>());
    box->SetClipboard(p.Clipboard());
    box->SetPassword(true, true);
    box->RequestFocus(true);
    p.Type(u"secret");
    p.Key(KeyOf('A'), kModCtrl);
    p.Key(KeyOf('C'), kModCtrl);
    p.Key(45, kModCtrl); // Ctrl+Insert
    p.Key(KeyOf('X'), kModCtrl);
    box->ExecuteEditCommand(kEditCopy);
    EXPECT_EQ(p.clipboardWrites, 0);
    EXPECT_EQ(box->GetText(), u"secret"); // a cut that cannot copy removes nothing
    for (const MenuItem& item : box->EditMenuItems()) {
        if (item.id == kEditCopy || item.id == kEditCut) {
            EXPECT_FALSE(item.enabled);
        }
    }
    EXPECT_FALSE(box->AllowsIme());
    // Holding the reveal button shows the text; releasing masks it again.
    const RectF bounds = box->BoundsInWindow();
    const RectF reveal = box->RevealButtonRect();
    const PointF eye{bounds.x + reveal.x + reveal.width / 2, bounds.y + reveal.y + 4};
    p.host.PointerDown(PointerEvent{eye, PointerButton::Left});
    EXPECT_FALSE(box->IsMasked());
    p.host.PointerUp(PointerEvent{eye, PointerButton::Left});
    EXPECT_TRUE(box->IsMasked());
}

TEST(TextBox, CapsLockBadgeOnlyInAFocusedPasswordBox) {
    Panel p;
    TextBox* password = p.Add(std::make_unique<TextBox>());
    TextBox* plain = p.Add(std::make_unique<TextBox>());
    password->SetPassword(true, false);
    for (TextBox* box : {password, plain})
        box->SetCapsLockQuery([] { return true; });
    EXPECT_FALSE(password->CapsLockBadgeShown());
    plain->RequestFocus(true);
    EXPECT_FALSE(plain->CapsLockBadgeShown());
    password->RequestFocus(true);
    EXPECT_TRUE(password->CapsLockBadgeShown());
}

TEST(TextBox, MaximumLengthPlaceholderAndErrorTooltip) {
    Panel p;
    TextBox* box = p.Add(std::make_unique<TextBox>());
    box->SetMaxLength(3);
    box->SetPlaceholder(u"Name");
    box->SetTooltip(u"Your name");
    box->RequestFocus(true);
    p.Type(u"abcd");
    EXPECT_EQ(box->GetText(), u"abc");
    box->SetErrorText(u"Too short");
    EXPECT_EQ(box->TooltipText(), u"Too short");
    box->SetErrorText({});
    EXPECT_EQ(box->TooltipText(), u"Your name");
    box->SetReadOnly(true);
    p.Key(kKeyBackspace);
    p.Type(u"x");
    EXPECT_EQ(box->GetText(), u"abc");
}

TEST(TextBox, PointerPlacesTheCaretAndDoubleClickSelectsAWord) {
    Panel p;
    TextBox* box = p.Add(std::make_unique<TextBox>());
    box->SetText(u"alpha beta");
    const RectF b = box->BoundsInWindow();
    const PointF end{b.x + b.width - 20, b.y + b.height / 2};
    p.host.PointerDown(PointerEvent{end, PointerButton::Left});
    p.host.PointerUp(PointerEvent{end, PointerButton::Left});
    EXPECT_EQ(box->Model().Caret(), 10u);
    EXPECT_EQ(p.host.Focused(), box);
    const PointF start{b.x + 12, b.y + b.height / 2};
    p.host.PointerDown(PointerEvent{start, PointerButton::Left, 0, 2});
    p.host.PointerUp(PointerEvent{start, PointerButton::Left, 0, 2});
    EXPECT_EQ(box->Model().SelectedText(), u"alpha ");
    // The caret blinks at the desktop's pace while focused, and shows again
    // after each edit.
    EXPECT_TRUE(box->CaretShown());
    const double blink = CaretBlinkSeconds();
    p.host.AdvanceTime(blink > 0 ? blink + 0.01 : 5);
    EXPECT_EQ(box->CaretShown(), !(blink > 0));
    p.Type(u"x");
    EXPECT_TRUE(box->CaretShown());
}

TEST(TextBox, CompositionThroughTheHost) {
    Panel p;
    TextBox* box = p.Add(std::make_unique<TextBox>());
    box->RequestFocus(true);
    p.host.Ime(Ime(ImeEventKind::CompositionStarted));
    p.host.Ime(Ime(ImeEventKind::CompositionChanged, u"하", 1));
    EXPECT_EQ(box->GetText(), u"");
    EXPECT_EQ(box->Model().DisplayText(), u"하");
    ASSERT_TRUE(p.host.ImeWindow().has_value()); // placed at the caret
    p.host.Ime(Ime(ImeEventKind::ResultCommitted, u"한"));
    p.host.Ime(Ime(ImeEventKind::CompositionEnded));
    EXPECT_EQ(box->GetText(), u"한");
    p.host.Ime(Ime(ImeEventKind::CompositionChanged, u"ㄱ", 1));
    EXPECT_TRUE(p.Key(kKeyEscape)); // cancels the composition
    EXPECT_EQ(box->Model().DisplayText(), u"한");
    EXPECT_FALSE(p.Key(kKeyEscape));
}

// The dots of a masked password are no taller than the small letters of
// typed text, as in other programs' password boxes.
TEST(TextBox, PasswordDotsAreSmall) {
    Panel p;
    TextBox* plain = p.Add(std::make_unique<TextBox>());
    TextBox* password = p.Add(std::make_unique<TextBox>());
    plain->SetText(u"xxxxxx");
    password->SetPassword(true, false);
    password->SetText(u"secret");
    auto canvas = p.host.Render(kSize);
    // The height of the dark ink inside a box, away from its edges.
    const auto inkHeight = [&](const TextBox& box) {
        const RectF b = box.BoundsInWindow();
        int top = -1;
        int bottom = -1;
        for (int y = static_cast<int>(b.y) + 3; y < static_cast<int>(b.Bottom()) - 3; ++y)
            for (int x = static_cast<int>(b.x) + 3; x < static_cast<int>(b.Right()) - 3; ++x) {
                const Rgba8 pixel = canvas->PixelAt(x, y);
                if (pixel.a > 128 && pixel.r < 128) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            }
        return top < 0 ? 0 : bottom - top + 1;
    };
    const int letters = inkHeight(*plain);
    const int dots = inkHeight(*password);
    ASSERT_GT(letters, 3);
    EXPECT_GT(dots, 2);
    EXPECT_LE(dots, letters) << "x-height " << letters;
}

TEST(NumberBox, CommitsClampsRevertsAndSteps) {
    Panel p;
    NumberBox* number = p.Add(std::make_unique<NumberBox>());
    std::vector<double> values;
    number->SetOnValueChanged([&](double v) { values.push_back(v); });
    number->SetRange(1, 65535);
    number->SetValue(8080, false);
    TextBox& text = number->Inner();
    EXPECT_EQ(text.GetText(), u"8080");
    text.RequestFocus(true);
    p.Key(KeyOf('A'), kModCtrl);
    p.Type(u"70000");
    EXPECT_EQ(text.ErrorText(), NumberBox::kOutOfRangeText);
    p.Key(kKeyEnter);
    EXPECT_DOUBLE_EQ(number->GetValue(), 65535);
    EXPECT_EQ(text.GetText(), u"65535");
    EXPECT_TRUE(text.ErrorText().empty());
    p.Key(KeyOf('A'), kModCtrl);
    p.Type(u"abc-"); // refused characters
    EXPECT_EQ(text.GetText(), u"65535");
    p.Key(kKeyBackspace);
    EXPECT_EQ(text.GetText(), u"");
    p.host.SetFocus(nullptr, false); // losing focus commits: nothing readable reverts
    EXPECT_EQ(text.GetText(), u"65535");
    EXPECT_EQ(values, std::vector<double>{65535});

    number->SetValue(100, false);
    text.RequestFocus(true);
    p.Key(kKeyUp);
    p.Key(kKeyPageDown);
    EXPECT_DOUBLE_EQ(number->GetValue(), 91);
    p.host.PointerMove(PointerEvent{PointF{20, 16}});
    EXPECT_TRUE(p.host.Wheel(WheelEvent{PointF{20, 16}, 0, 1}));
    EXPECT_DOUBLE_EQ(number->GetValue(), 92);
    text.SetReadOnly(true);
    p.Key(kKeyUp);
    EXPECT_DOUBLE_EQ(number->GetValue(), 92);
}

// The wheel over a number box scrolls the page (the box leaves it) unless
// the user engaged the box: it has the focus and the pointer moved onto it.
TEST(NumberBox, TheWheelStepsOnlyAnEngagedBox) {
    struct Case {
        const char* name;
        bool focused;
        bool pointerMovedOnto;
        bool pointerLeftAgain;
        bool steps;
    };
    const Case cases[] = {
        {"focused, pointer moved onto it", true, true, false, true},
        {"focused, the page brought it under a resting pointer", true, false, false, false},
        {"not focused, pointer over it", false, true, false, false},
        {"focused, pointer moved away", true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Panel p;
        NumberBox* number = p.Add(std::make_unique<NumberBox>());
        number->SetRange(1, 65535);
        number->SetValue(9000, false);
        const PointF over{20, 16};
        if (c.focused)
            number->Inner().RequestFocus(true);
        if (c.pointerMovedOnto)
            p.host.PointerMove(PointerEvent{over});
        if (c.pointerLeftAgain) {
            p.host.PointerMove(PointerEvent{PointF{390, 290}});
            // The page moved the box back under the pointer.
        }
        const bool taken = p.host.Wheel(WheelEvent{over, 0, -1});
        EXPECT_EQ(taken, c.steps);
        EXPECT_DOUBLE_EQ(number->GetValue(), c.steps ? 8999 : 9000);
    }
}

TEST(NumberBox, DecimalsSuffixAndSpinRepeat) {
    Panel p;
    NumberBox* number = p.Add(std::make_unique<NumberBox>());
    number->SetRange(0, 1000);
    number->SetDecimals(1);
    number->SetSuffix(u"MB");
    number->Inner().RequestFocus(true);
    p.Key(KeyOf('A'), kModCtrl);
    p.Type(u"1,5");
    p.Key(kKeyEnter);
    EXPECT_DOUBLE_EQ(number->GetValue(), 1.5);
    EXPECT_EQ(number->Inner().GetText(), u"1.5");

    // Holding the up arrow: a step at once, the next after 0.45 s, then
    // every 0.07 s until the release.
    const RectF up = number->UpButton().BoundsInWindow();
    const PointF at{up.x + up.width / 2, up.y + up.height / 2};
    p.host.PointerDown(PointerEvent{at, PointerButton::Left});
    EXPECT_DOUBLE_EQ(number->GetValue(), 2.5);
    p.host.AdvanceTime(0.44);
    EXPECT_DOUBLE_EQ(number->GetValue(), 2.5);
    p.host.AdvanceTime(0.02);
    EXPECT_DOUBLE_EQ(number->GetValue(), 3.5);
    p.host.AdvanceTime(0.071 * 3);
    EXPECT_DOUBLE_EQ(number->GetValue(), 6.5);
    p.host.PointerUp(PointerEvent{at, PointerButton::Left});
    p.host.AdvanceTime(1);
    EXPECT_DOUBLE_EQ(number->GetValue(), 6.5);
}

// Shows an open combo list in a headless host of its own, as a popup would.
struct PopupStandIn {
    std::unique_ptr<HeadlessHost> host;
    // Hiding happens inside the popup's own input dispatch: the host goes
    // at the next showing, as a real popup window is only hidden.
    std::unique_ptr<HeadlessHost> retired;
    RectF anchor;
    SizeF size;
    int shown{0};
    int hidden{0};
    ComboBox::PopupPresenter Presenter() {
        return [this](ComboBox&, ComboPanel& panel, RectF at, SizeF s) {
            retired.reset();
            host = std::make_unique<HeadlessHost>(panel, kLight);
            host->Layout(s);
            anchor = at;
            size = s;
            ++shown;
            return [this] {
                retired = std::move(host);
                ++hidden;
            };
        };
    }
};

TEST(ComboBox, KeysStepTypeAheadAndTheKeyboardOpensTheList) {
    Panel p;
    ComboBox* combo = p.Add(std::make_unique<ComboBox>());
    PopupStandIn popup;
    combo->SetPopupPresenter(popup.Presenter());
    std::vector<int> changes;
    combo->SetOnSelectionChanged([&](int i) { changes.push_back(i); });
    combo->SetItems({u"Korean", u"English", u"Japanese", u"Chinese", u"Kazakh"});
    combo->SetSelectedIndex(0, false);
    combo->RequestFocus(true);
    p.Key(kKeyUp); // not before the first
    p.Key(kKeyDown);
    p.Key(kKeyRight);
    p.Key(kKeyEnd);
    p.Key(kKeyHome);
    EXPECT_EQ(changes, (std::vector<int>{1, 2, 4, 0}));
    p.Type(u"k");
    EXPECT_EQ(combo->GetSelectedIndex(), 4);
    // During a search a space is text, not the key that opens the list.
    p.host.AdvanceTime(0.1);
    EXPECT_FALSE(p.Key(kKeySpace));
    p.host.Char(CharEvent{U' '});
    EXPECT_FALSE(combo->IsOpen());
    p.host.AdvanceTime(2);

    // Alt+Down opens a list as wide as the box, rows of 32 plus 8.
    p.Key(kKeyDown, kModAlt);
    ASSERT_TRUE(combo->IsOpen());
    EXPECT_FLOAT_EQ(popup.size.width, combo->ActualWidth());
    EXPECT_FLOAT_EQ(popup.size.height, 5 * 32 + 8);
    EXPECT_EQ(combo->OpenPanel()->Current(), 4);
    p.Key(kKeyUp);
    p.Key(kKeyUp);
    EXPECT_EQ(combo->GetSelectedIndex(), 4); // moving in the list changes nothing yet
    p.Key(kKeyEnter);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(popup.hidden, 1);
    EXPECT_EQ(combo->GetSelectedIndex(), 2);

    // Escape closes without a change; a click on a row chooses it.
    p.Key(KeyF(4));
    p.Key(kKeyDown);
    p.Key(kKeyEscape);
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->GetSelectedIndex(), 2);
    p.Key(kKeySpace);
    ASSERT_TRUE(combo->IsOpen());
    const PointF row1{50, ComboPanel::kPadding + 32 + 16};
    popup.host->PointerDown(PointerEvent{row1, PointerButton::Left});
    popup.host->PointerUp(PointerEvent{row1, PointerButton::Left});
    EXPECT_FALSE(combo->IsOpen());
    EXPECT_EQ(combo->GetSelectedIndex(), 1);
}

// An open list has a visible outline in both schemes: in the dark one the
// list's background is barely lighter than the window under it.
TEST(ComboBox, TheOpenListHasAVisibleOutline) {
    for (const Theme& theme : {kLight, DarkTheme(kDefaultAccent)}) {
        SCOPED_TRACE(theme.kind == ThemeKind::Dark ? "dark" : "light");
        const std::vector<std::u16string> items{u"One", u"Two", u"Three"};
        Controls::ComboPanel panel(items, 0); // reads the items where they are
        HeadlessHost host{panel, theme};
        const SizeF size{200, Controls::ComboPanel::HeightFor(3)};
        host.Layout(size);
        auto canvas = host.Render(size);
        // Half-way down the left edge, beside the rows: the outline against
        // the list's own background just inside it.
        const int middle = static_cast<int>(size.height / 2);
        const Rgba8 edge = canvas->PixelAt(0, middle);
        const Rgba8 inside = canvas->PixelAt(2, middle);
        EXPECT_GE(std::abs(static_cast<int>(edge.r) - static_cast<int>(inside.r)), 30)
            << "edge " << int(edge.r) << ", inside " << int(inside.r);
    }
}

TEST(ComboBox, ListHeightAndMeasure) {
    EXPECT_FLOAT_EQ(ComboPanel::HeightFor(0), 32 + 8);
    EXPECT_FLOAT_EQ(ComboPanel::HeightFor(3), 3 * 32 + 8);
    EXPECT_FLOAT_EQ(ComboPanel::HeightFor(30), 8 * 32 + 8);
    ComboBox combo;
    combo.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_FLOAT_EQ(combo.DesiredSize().width, 180);
    EXPECT_FLOAT_EQ(combo.DesiredSize().height, 32);
    combo.SetItems({u"a", u"b"});
    combo.SetSelectedIndex(5);
    EXPECT_EQ(combo.GetSelectedIndex(), -1);
    EXPECT_FALSE(combo.Open()); // nowhere to show it without a window
}

} // namespace
} // namespace Velto::Widget::Controls
