// The button family through the headless host: measuring, activation by
// pointer and keys, check-box cycles, colour transitions and looks.
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/toggle_button.h"
#include "widget/controls/toggle_switch.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/render/text_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Velto::Widget {
namespace {

const Theme kLight = LightTheme(kDefaultAccent);

void ExpectColor(Color actual, Color expected, const char* what) {
    EXPECT_NEAR(actual.r, expected.r, 1e-4) << what;
    EXPECT_NEAR(actual.g, expected.g, 1e-4) << what;
    EXPECT_NEAR(actual.b, expected.b, 1e-4) << what;
    EXPECT_NEAR(actual.a, expected.a, 1e-4) << what;
}

// A vertical stack of controls in a headless host.
struct Panel {
    Stack root{Orientation::Vertical, 8};
    HeadlessHost host{root, kLight};
    template <typename T> T* Add(std::unique_ptr<T> widget) {
        T* raw = root.Add(std::move(widget));
        raw->SetHorizontalAlignment(Alignment::Start);
        host.Layout(SizeF{400, 400});
        return raw;
    }
    PointF Centre(const Widget& w) const {
        const RectF b = w.BoundsInWindow();
        return PointF{b.x + b.width / 2, b.y + b.height / 2};
    }
    void Press(const Widget& w) {
        host.PointerMove(PointerEvent{Centre(w)});
        host.PointerDown(PointerEvent{Centre(w), PointerButton::Left});
    }
    void Release(PointF at) { host.PointerUp(PointerEvent{at, PointerButton::Left}); }
    void Key(std::uint32_t key, bool repeat = false) {
        host.KeyDown(KeyEvent{key, 0, 0, repeat});
        host.KeyUp(KeyEvent{key});
    }
};

TEST(Buttons, MeasureRules) {
    Panel p;
    Button* icon = p.Add(std::make_unique<Button>());
    icon->SetIcon(0xE713);
    Button* ok = p.Add(std::make_unique<Button>(u"OK"));
    Button* both = p.Add(std::make_unique<Button>(u"&Save"));
    both->SetIcon(0xE713);
    both->SetDropDown(true);
    p.host.Layout(SizeF{400, 400});

    // An icon and the two paddings; the height is the control height.
    EXPECT_FLOAT_EQ(icon->ActualWidth(), 16 + 22);
    EXPECT_FLOAT_EQ(icon->ActualHeight(), 32);
    Button* empty = p.Add(std::make_unique<Button>());
    EXPECT_FLOAT_EQ(empty->ActualWidth(), 32); // nothing at all: the 32 x 32 minimum
    EXPECT_FLOAT_EQ(empty->ActualHeight(), 32);
    TextFormat body;
    const float okText = TextLayout(u"OK", body, TextOptions{}).Size().width;
    EXPECT_FLOAT_EQ(ok->ActualWidth(), std::max(32.0f, okText + 22));
    EXPECT_GE(ok->ActualHeight(), 32);
    // The "&" is no text of its own: "Save", an icon, the gap and the chevron.
    const float save = TextLayout(u"Save", body, TextOptions{}).Size().width;
    EXPECT_FLOAT_EQ(both->ActualWidth(), save + 16 + 8 + 18 + 22);
    EXPECT_EQ(both->AccessKey(), U'S');

    CheckBox* check = p.Add(std::make_unique<CheckBox>(u"Remember"));
    ToggleSwitch* toggle = p.Add(std::make_unique<ToggleSwitch>(u"Remember"));
    const float remember = TextLayout(u"Remember", body, TextOptions{}).Size().width;
    EXPECT_FLOAT_EQ(check->ActualWidth(), 20 + remember + 8);
    EXPECT_FLOAT_EQ(toggle->ActualWidth(), 40 + remember + 12);
    const float textHeight = TextLayout(u"Remember", body, TextOptions{}).Size().height;
    EXPECT_FLOAT_EQ(check->ActualHeight(), std::max(32.0f, textHeight + 8));
}

TEST(Buttons, PointerAndKeyActivation) {
    Panel p;
    int clicks = 0;
    Button* button = p.Add(std::make_unique<Button>(u"&Go"));
    button->SetOnClick([&] { ++clicks; });
    // Release inside: a click; release outside: none.
    p.Press(*button);
    EXPECT_TRUE(button->IsPressed());
    p.Release(p.Centre(*button));
    EXPECT_EQ(clicks, 1);
    p.Press(*button);
    p.host.PointerMove(PointerEvent{PointF{390, 390}});
    EXPECT_FALSE(button->IsPressed());
    p.Release(PointF{390, 390});
    EXPECT_EQ(clicks, 1);
    // Space clicks on release; Enter at once, but not on repeats.
    button->RequestFocus(true);
    p.host.KeyDown(KeyEvent{kKeySpace});
    EXPECT_EQ(clicks, 1);
    p.host.KeyUp(KeyEvent{kKeySpace});
    EXPECT_EQ(clicks, 2);
    p.Key(kKeyEnter);
    p.Key(kKeyEnter, true);
    EXPECT_EQ(clicks, 3);
    // Access key, and nothing at all while disabled.
    p.host.Char(CharEvent{U'g', 0, true});
    EXPECT_EQ(clicks, 4);
    button->SetEnabled(false);
    button->Click();
    p.Press(*button);
    p.Release(p.Centre(*button));
    EXPECT_EQ(clicks, 4);
}

TEST(Buttons, CheckBoxCyclesAndIgnoresEnter) {
    Panel p;
    std::vector<CheckState> changes;
    CheckBox* box = p.Add(std::make_unique<CheckBox>(u"Three"));
    box->SetOnChange([&](CheckState s) { changes.push_back(s); });
    box->RequestFocus(true);
    p.Key(kKeyEnter);
    EXPECT_EQ(box->State(), CheckState::Unchecked);
    p.Key(kKeySpace);
    p.Key(kKeySpace);
    EXPECT_EQ(box->State(), CheckState::Unchecked); // two-state skips Indeterminate
    box->SetThreeState(true);
    for (int i = 0; i < 3; ++i)
        p.Key(kKeySpace);
    EXPECT_EQ(changes, (std::vector<CheckState>{CheckState::Checked, CheckState::Unchecked,
                                                CheckState::Checked, CheckState::Indeterminate,
                                                CheckState::Unchecked}));
    box->SetState(CheckState::Checked); // no callback
    EXPECT_EQ(changes.size(), 5u);
}

TEST(Buttons, ToggleSwitchAndToggleButton) {
    Panel p;
    std::vector<bool> changes;
    ToggleSwitch* toggle = p.Add(std::make_unique<ToggleSwitch>(u"Server"));
    toggle->SetOnChange([&](bool on) { changes.push_back(on); });
    toggle->RequestFocus(true);
    p.Key(kKeyEnter); // not for switches
    EXPECT_FALSE(toggle->IsOn());
    p.Key(kKeySpace);
    EXPECT_TRUE(toggle->IsOn());
    EXPECT_EQ(changes, std::vector<bool>{true});
    // The knob slides over the transition time.
    auto canvas = p.host.Render(SizeF{400, 400});
    p.host.AdvanceTime(0.05);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    EXPECT_GT(toggle->KnobPosition(), 0.0f);
    EXPECT_LT(toggle->KnobPosition(), 1.0f);
    p.host.AdvanceTime(0.2);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    EXPECT_FLOAT_EQ(toggle->KnobPosition(), 1.0f);
    toggle->SetOn(false); // the owner's own change: no callback
    EXPECT_EQ(changes.size(), 1u);

    ToggleButton* bold = p.Add(std::make_unique<ToggleButton>(u"B"));
    bold->Click();
    EXPECT_TRUE(bold->IsChecked());
    ExpectColor(bold->TargetColors().fill, kLight.accent, "checked fill");
}

TEST(Buttons, DefaultFlagMovesAndColoursTransition) {
    Panel p;
    Button* first = p.Add(std::make_unique<Button>(u"One"));
    Button* second = p.Add(std::make_unique<Button>(u"Two"));
    auto canvas = p.host.Render(SizeF{400, 400});
    ExpectColor(first->CurrentColors().fill, kLight.controlFill, "rest");

    first->SetDefault(true);
    // Half-way through 0.15 s the fill is between the two colours.
    p.host.AdvanceTime(0.05);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    const Color middle = first->CurrentColors().fill;
    EXPECT_GT(middle.b, kLight.accent.b - 0.01f);
    EXPECT_LT(middle.r, kLight.controlFill.r);
    EXPECT_GT(middle.r, kLight.accent.r);
    p.host.AdvanceTime(0.2);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    ExpectColor(first->CurrentColors().fill, kLight.accent, "default");

    second->SetDefault(true);
    EXPECT_FALSE(first->IsDefault());
    p.host.AdvanceTime(0.2);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    ExpectColor(first->CurrentColors().fill, kLight.controlFill, "back");
    ExpectColor(second->CurrentColors().fill, kLight.accent, "moved");
}

TEST(Buttons, SubtleFadeKeepsItsColourAndDisabledAccentLooks) {
    Panel p;
    Button* subtle = p.Add(std::make_unique<Button>(u"Subtle"));
    subtle->SetStyle(ButtonStyle::Subtle);
    auto canvas = p.host.Render(SizeF{400, 400});
    p.host.PointerMove(PointerEvent{p.Centre(*subtle)});
    p.host.AdvanceTime(0.05);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    const Color fading = subtle->CurrentColors().fill;
    EXPECT_GT(fading.a, 0);
    EXPECT_LT(fading.a, kLight.subtleFillHover.a);
    ExpectColor(fading.WithAlpha(kLight.subtleFillHover.a), kLight.subtleFillHover, "hue");

    // Disabling a drawn accent button moves it to the disabled colours.
    Button* accent = p.Add(std::make_unique<Button>(u"Accent"));
    accent->SetStyle(ButtonStyle::Accent);
    p.host.RenderFrame(*canvas, SizeF{400, 400});
    accent->SetEnabled(false);
    for (int i = 0; i < 10; ++i) {
        p.host.RenderFrame(*canvas, SizeF{400, 400});
        p.host.AdvanceTime(0.05);
    }
    ExpectColor(accent->CurrentColors().fill, kLight.accentDisabled, "disabled fill");

    const ControlColors disabled =
        ButtonColors(kLight, ButtonStyle::Accent, VisualState{false, false, false});
    ExpectColor(disabled.fill, kLight.accentDisabled, "fill");
    ExpectColor(disabled.foreground, kLight.textOnAccentDisabled, "text");
    EXPECT_LE(disabled.outline.a, kMinOutlineAlpha);
    const ControlColors pressed =
        ButtonColors(kLight, ButtonStyle::Accent, VisualState{true, true, true});
    EXPECT_NEAR(pressed.foreground.a, kLight.textOnAccent.a * 0.8f, 1e-5);
}

TEST(Buttons, AccentButtonPixels) {
    Panel p;
    Button* accent = p.Add(std::make_unique<Button>(u"Accent"));
    accent->SetStyle(ButtonStyle::Accent);
    auto canvas = p.host.Render(SizeF{400, 400});
    // A point of the fill away from the text and the rounded corners.
    const RectF b = accent->BoundsInWindow();
    const Rgba8 pixel =
        canvas->PixelAt(static_cast<int>(b.x + 4), static_cast<int>(b.y + b.height / 2));
    EXPECT_NEAR(pixel.r, kLight.accent.r * 255, 2);
    EXPECT_NEAR(pixel.g, kLight.accent.g * 255, 2);
    EXPECT_NEAR(pixel.b, kLight.accent.b * 255, 2);
}

// A check box stretched across a row: its focus ring goes around the box
// and the text, not around the empty rest of the row.
TEST(Buttons, ACheckBoxFocusRingHugsTheBoxAndText) {
    Panel p;
    p.Add(std::make_unique<Label>(u"Above"));
    CheckBox* check = p.Add(std::make_unique<CheckBox>(u"Show hidden files too"));
    check->SetHorizontalAlignment(Alignment::Stretch);
    p.host.Layout(SizeF{400, 400});
    ASSERT_TRUE(p.host.SetFocus(check, true));
    auto canvas = p.host.Render(SizeF{400, 400});
    const RectF b = check->BoundsInWindow();
    ASSERT_GT(b.width, 390);
    const float margin = kLight.focusMargin;
    const int top = static_cast<int>(std::floor(b.y - margin + 1));
    // The ring's dark outer line (focusStrokeOuter) on one row of pixels.
    const auto ringAt = [&](int x) {
        const Rgba8 pixel = canvas->PixelAt(x, top);
        return pixel.a > 128 && pixel.r < 100;
    };
    EXPECT_TRUE(ringAt(static_cast<int>(b.x + 20))) << "no ring over the box";
    // The text ends well inside the row: past it, no ring.
    const float textEnd =
        b.x + kLight.checkBoxSize + CheckBox::kTextGap +
        TextLayout(u"Show hidden files too", TextFormat{.size = kLight.bodySize}, TextOptions{})
            .Size()
            .width;
    ASSERT_LT(textEnd + 3 * margin, b.Right() - 20);
    EXPECT_TRUE(ringAt(static_cast<int>(textEnd - 4))) << "the ring does not reach the text's end";
    for (int x = static_cast<int>(textEnd + 3 * margin); x < static_cast<int>(b.Right()); ++x)
        EXPECT_FALSE(ringAt(x)) << "ring at " << x << " beyond the text's end " << textEnd;
}

TEST(Labels, AccessKeyFocusesTargetOrNextFocusable) {
    Panel p;
    Label* name = p.Add(std::make_unique<Label>(u"&Name"));
    Label* plain = p.Add(std::make_unique<Label>(u"Plain"));
    Button* after = p.Add(std::make_unique<Button>(u"After"));
    Label* pointed = p.Add(std::make_unique<Label>(u"&Target && more"));
    EXPECT_EQ(name->ShownText(), u"Name");
    EXPECT_EQ(pointed->ShownText(), u"Target & more");
    EXPECT_EQ(plain->AccessKey(), 0u);
    p.host.Char(CharEvent{U'n', 0, true});
    EXPECT_EQ(p.host.Focused(), after);
    pointed->SetTarget(after);
    after->SetEnabled(false);
    p.host.SetFocus(nullptr, false);
    p.host.Char(CharEvent{U't', 0, true});
    EXPECT_EQ(p.host.Focused(), nullptr); // a disabled target cannot take focus
}

} // namespace
} // namespace Velto::Widget
