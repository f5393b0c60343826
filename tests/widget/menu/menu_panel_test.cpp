// One menu level's layout and drawing, and popup placement against the
// work area.
#include "menu_rig.h"
#include "widget/input/headless_host.h"
#include "widget/menu/menu_panel.h"
#include "widget/menu/popup_placement.h"
#include "widget/render/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace Velto::Widget::Menus {
namespace {

float TextWidth(std::u16string_view text) {
    TextFormat format;
    format.size = LightTheme(kDefaultAccent).bodySize;
    return TextLayout(text, format, TextOptions{}).Size().width;
}

SizeF Measured(std::vector<MenuItem> items) {
    MenuPanel panel;
    panel.SetItems(std::move(items));
    panel.Measure(SizeF{kInfinity, kInfinity});
    return panel.DesiredSize();
}

TEST(MenuPanelLayout, HeightsStackFromTheTopPadding) {
    struct Case {
        std::vector<MenuItem> items;
        float height;
    };
    const Case cases[] = {
        {{}, 8},
        {{Command(1, u"One")}, 4 + 32 + 4},
        {{Separator()}, 4 + 9 + 4},
        {{Command(1, u"One"), Separator(), Command(2, u"Two"), Command(3, u"Three")},
         4 + 32 + 9 + 32 + 32 + 4},
    };
    for (const Case& c : cases) {
        const SizeF size = Measured(c.items);
        EXPECT_FLOAT_EQ(size.height, c.height) << c.items.size() << " items";
        EXPECT_FLOAT_EQ(size.width, 160) << "short texts keep the least width";
    }
}

TEST(MenuPanelLayout, WidthAddsTheColumnsInUse) {
    const std::u16string longText = u"Open the folder in the file manager";
    const std::u16string shortcut = u"Ctrl+Shift+O";
    const float text = TextWidth(longText);
    const float keys = TextWidth(shortcut);
    ASSERT_GT(text + 40 + 16, 160);

    EXPECT_NEAR(Measured({Command(1, u"&" + longText)}).width, text + 40 + 16, 0.01);
    // The "&" is not shown, so it takes no room.
    MenuItem withShortcut = Command(2, u"Copy");
    withShortcut.shortcut = shortcut;
    EXPECT_NEAR(Measured({Command(1, longText), withShortcut}).width, text + 40 + keys + 32 + 16,
                0.01);
    EXPECT_NEAR(Measured({Command(1, longText), withShortcut, Submenu(3, u"More", {})}).width,
                text + 40 + keys + 32 + 32, 0.01);
}

TEST(MenuPanelLayout, ItemsUnderAPoint) {
    MenuPanel panel;
    panel.SetItems({Command(1, u"One"), Separator(), Command(2, u"Two")});
    panel.Measure(SizeF{kInfinity, kInfinity});
    panel.Arrange(RectF{0, 0, 160, 81});
    struct Probe {
        PointF at;
        int item;
    };
    const Probe probes[] = {
        {{10, 3.9f}, -1}, {{10, 4}, 0},   {{10, 35.9f}, 0}, {{10, 36}, 1},  {{10, 45}, 2},
        {{10, 76.9f}, 2}, {{10, 77}, -1}, {{160, 20}, -1},  {{-1, 20}, -1},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(panel.ItemAt(p.at), p.item) << p.at.x << "," << p.at.y;
    EXPECT_EQ(panel.ItemBounds(2), (RectF{0, 45, 160, 32}));
    EXPECT_EQ(panel.ItemBounds(3), RectF{});
}

// Straight colour `top` over an opaque 0-255 channel value.
double Over(double below, float top, float alpha) {
    return below * (1 - alpha) + top * 255 * alpha;
}

class MenuPanelDrawing : public ::testing::TestWithParam<ThemeKind> {};

TEST_P(MenuPanelDrawing, HotFillSeparatorOutlineAndMarks) {
    const Theme theme =
        GetParam() == ThemeKind::Dark ? DarkTheme(kDefaultAccent) : LightTheme(kDefaultAccent);
    MenuItem copy = Command(1, u"&Copy");
    copy.shortcut = u"Ctrl+C";
    MenuItem paste = Command(2, u"&Paste", false);
    paste.shortcut = u"Ctrl+V";
    MenuItem share = Command(3, u"S&hare");
    share.iconGlyph = 0xE838;
    MenuPanel panel;
    panel.SetItems({copy, paste, share, Separator(), Check(4, u"&Wrap lines", true),
                    Radio(5, u"&Light", 1, true), Radio(6, u"&Dark", 1, false), Separator(),
                    Submenu(7, u"&Export", {Command(71, u"PDF")})});
    panel.SetHot(0);
    panel.SetAccessKeyCues(true);
    HeadlessHost host(panel, theme, 1.0f);
    panel.Measure(SizeF{kInfinity, kInfinity});
    // A level's window is whole pixels, and the panel fills it.
    const SizeF size{std::ceil(panel.DesiredSize().width), std::ceil(panel.DesiredSize().height)};
    auto canvas = host.Render(size);
    ASSERT_TRUE(canvas && canvas->IsValid());
    if (const char* dir = std::getenv("VELTO_WIDGET_SHOTS")) {
        canvas->WritePng((std::filesystem::path(dir) /
                          (GetParam() == ThemeKind::Dark ? "menu_dark.png" : "menu_light.png"))
                             .string());
    }

    const double background = theme.flyoutBackground.r * 255;
    const auto red = [&](int x, int y) { return static_cast<double>(canvas->PixelAt(x, y).r); };
    // Plain background between the hot fill and the outline.
    EXPECT_NEAR(red(2, 20), background, 1.5);
    // The hot item's fill, inside its rounded band, and not on the next band.
    EXPECT_NEAR(red(8, 20), Over(background, theme.subtleFillHover.r, theme.subtleFillHover.a),
                1.5);
    EXPECT_NEAR(red(8, 52), background, 1.5);
    // The outline's hairline on every side.
    const double outline = Over(background, theme.flyoutStroke.r, theme.flyoutStroke.a);
    const double stroke = Over(background, theme.controlStroke.r, theme.controlStroke.a);
    const int w = static_cast<int>(std::ceil(size.width));
    const int h = static_cast<int>(std::ceil(size.height));
    EXPECT_NEAR(red(0, h / 2), outline, 1.5);
    EXPECT_NEAR(red(w - 1, h / 2), outline, 1.5);
    EXPECT_NEAR(red(w / 2, 0), outline, 1.5);
    EXPECT_NEAR(red(w / 2, h - 1), outline, 1.5);
    // It stands out from the menu's background in every scheme.
    EXPECT_GE(std::abs(outline - background), 30);
    // The first separator's line across the middle of its band (y 100..109),
    // from 8 DIPs in; nothing at 4.
    EXPECT_NEAR(red(w / 2, 104), stroke, 1.5);
    EXPECT_NEAR(red(w / 2, 101), background, 1.5);
    EXPECT_NEAR(red(5, 104), background, 1.5);
    // The checked radio's dot is centred at 22 in its band (y 141..173);
    // the unchecked one below has none.
    const double ink = Over(background, theme.textPrimary.r, theme.textPrimary.a);
    EXPECT_NEAR(red(22, 141 + 16), ink, 30);
    EXPECT_NEAR(red(22, 173 + 16), background, 1.5);
}

INSTANTIATE_TEST_SUITE_P(Themes, MenuPanelDrawing,
                         ::testing::Values(ThemeKind::Light, ThemeKind::Dark));

TEST(PopupPlacement, BelowAndBesideAnAnchor) {
    const PixelRect area{0, 0, 1000, 800};
    struct Case {
        const char* what;
        bool beside;
        PixelRect anchor;
        PixelSize size;
        std::optional<PixelRect> area;
        PixelRect expected;
    };
    const Case cases[] = {
        {"hangs from the anchor",
         false,
         {100, 100, 80, 30},
         {200, 300},
         area,
         {100, 130, 200, 300}},
        {"no room below: above", false, {100, 700, 80, 30}, {200, 300}, area, {100, 400, 200, 300}},
        {"no room either way: clamped up",
         false,
         {100, 250, 0, 0},
         {200, 600},
         area,
         {100, 200, 200, 600}},
        {"taller than the area: its top",
         false,
         {100, 300, 0, 0},
         {200, 900},
         area,
         {100, 0, 200, 900}},
        {"past the right edge: moved in",
         false,
         {900, 100, 0, 0},
         {200, 100},
         area,
         {800, 100, 200, 100}},
        {"wider than the area: its left",
         false,
         {900, 100, 0, 0},
         {1200, 100},
         area,
         {0, 100, 1200, 100}},
        {"no monitor: unclamped",
         false,
         {900, 700, 0, 0},
         {200, 300},
         std::nullopt,
         {900, 700, 200, 300}},
        {"beside: to the right", true, {100, 100, 200, 32}, {150, 100}, area, {300, 100, 150, 100}},
        {"beside near the right edge: to the left",
         true,
         {700, 100, 200, 32},
         {150, 100},
         area,
         {550, 100, 150, 100}},
        {"beside near the bottom: moved up",
         true,
         {100, 750, 200, 32},
         {150, 100},
         area,
         {300, 700, 150, 100}},
        {"work area off the origin",
         false,
         {1950, 10, 0, 0},
         {100, 100},
         PixelRect{1920, 40, 1280, 984},
         {1950, 40, 100, 100}},
    };
    for (const Case& c : cases) {
        const PixelRect placed = c.beside ? PlacePopupBeside(c.size, c.anchor, c.area)
                                          : PlacePopupBelow(c.size, c.anchor, c.area);
        EXPECT_EQ(placed, c.expected) << c.what << ": got " << placed.x << "," << placed.y;
    }
}

} // namespace
} // namespace Velto::Widget::Menus
