// Renders a small tree headlessly in each theme and checks chosen pixels:
// the window background, a border's hairline, a glyph inside its box.
#include "widget/core/border.h"
#include "widget/input/headless_host.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/render/cairo_canvas.h"
#include "widget/render/units.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace Velto::Widget {
namespace {

struct SmallTree {
    Stack root{Orientation::Vertical, 8};
    Border* card{nullptr};
    Label* label{nullptr};
    Icon* icon{nullptr};

    SmallTree() {
        root.SetMargin(Thickness{10, 10, 10, 10});
        auto card_ = std::make_unique<Border>();
        card_->SetBackground(BorderBackground::CardBackground);
        card_->SetOutline(BorderOutline::Control, 1);
        card_->SetPadding(Thickness{12, 8, 12, 8});
        label = card_->Add(std::make_unique<Label>(u"공유 폴더 Shared"));
        card = root.Add(std::move(card_));
        icon = root.Add(std::make_unique<Icon>(0xE713, 24, Tone::Accent));
        icon->SetHorizontalAlignment(Alignment::Start);
    }
};

// Straight colour `top` over an opaque 0-255 channel value.
double Over(double below, float top, float alpha) {
    return below * (1 - alpha) + top * 255 * alpha;
}

struct Expected {
    double background;
    double card;
    double stroke;
};

Expected Channels(const Theme& t) {
    // Every role used here is grey, so the red channel stands for all three.
    const double background = t.windowBackground.r * 255;
    const double card = Over(background, t.cardBackground.r, t.cardBackground.a);
    const double stroke = Over(card, t.controlStroke.r, t.controlStroke.a);
    return {background, card, stroke};
}

// Two layers of low-alpha colour in 8-bit premultiplied pixels round a
// little on the way.
constexpr double kBlendTolerance = 2.5;

void SaveIfAsked(CairoCanvas& canvas, const std::string& name) {
    if (const char* dir = std::getenv("VELTO_WIDGET_SHOTS"))
        canvas.WritePng((std::filesystem::path(dir) / name).string());
}

class RenderedTree : public ::testing::TestWithParam<ThemeKind> {
protected:
    static Theme MakeTheme(ThemeKind kind) {
        switch (kind) {
        case ThemeKind::Dark:
            return DarkTheme(kDefaultAccent);
        case ThemeKind::HighContrast:
            return HighContrastTheme();
        default:
            return LightTheme(kDefaultAccent);
        }
    }
};

TEST_P(RenderedTree, BackgroundHairlineAndGlyph) {
    const Theme theme = MakeTheme(GetParam());
    const Expected expected = Channels(theme);
    for (const float scale : {1.0f, 1.25f, 1.5f, 2.0f}) {
        SCOPED_TRACE(scale);
        SmallTree tree;
        HeadlessHost host(tree.root, theme, scale);
        const auto canvas = host.Render(SizeF{240, 120});
        ASSERT_TRUE(canvas);
        SaveIfAsked(*canvas, "small-tree-" + std::to_string(static_cast<int>(GetParam())) + "-" +
                                 std::to_string(static_cast<int>(scale * 100)) + ".png");

        // The window background in a corner.
        EXPECT_NEAR(canvas->PixelAt(1, 1).r, expected.background, 1.5);

        // The card's outline: hairline rows at the top edge, then the card.
        const RectF card = tree.card->BoundsInWindow();
        const int x = static_cast<int>(std::lround((card.x + card.width / 2) * scale));
        const int top = static_cast<int>(std::lround(card.y * scale));
        EXPECT_NEAR(canvas->PixelAt(x, top - 1).r, expected.background, 1.5);
        for (int row = 0; row < HairlinePixels(scale); ++row)
            EXPECT_NEAR(canvas->PixelAt(x, top + row).r, expected.stroke, kBlendTolerance) << row;
        EXPECT_NEAR(canvas->PixelAt(x, top + HairlinePixels(scale)).r, expected.card,
                    kBlendTolerance);

        // Text ink inside the label's box and none in the card's padding below.
        const RectF label = tree.label->BoundsInWindow();
        int inkInside = 0;
        for (int y = static_cast<int>(label.y * scale);
             y < static_cast<int>(label.Bottom() * scale); ++y)
            for (int px = static_cast<int>(label.x * scale);
                 px < static_cast<int>(label.Right() * scale); ++px)
                inkInside += std::abs(canvas->PixelAt(px, y).r - expected.card) > 40 ? 1 : 0;
        EXPECT_GT(inkInside, 30);
        const int below = static_cast<int>(std::ceil(label.Bottom() * scale)) + 1;
        for (int px = static_cast<int>(label.x * scale);
             px < static_cast<int>(label.Right() * scale); ++px)
            EXPECT_NEAR(canvas->PixelAt(px, below).r, expected.card, kBlendTolerance) << px;

        // The icon glyph in its accent colour inside the icon's box.
        const RectF icon = tree.icon->BoundsInWindow();
        const Color accent = theme.accent;
        int accentPixels = 0;
        for (int y = static_cast<int>(icon.y * scale); y < static_cast<int>(icon.Bottom() * scale);
             ++y)
            for (int px = static_cast<int>(icon.x * scale);
                 px < static_cast<int>(icon.Right() * scale); ++px) {
                const Rgba8 p = canvas->PixelAt(px, y);
                accentPixels +=
                    (std::abs(p.r - accent.r * 255) < 3 && std::abs(p.g - accent.g * 255) < 3 &&
                     std::abs(p.b - accent.b * 255) < 3)
                        ? 1
                        : 0;
            }
        EXPECT_GT(accentPixels, 20);
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, RenderedTree,
                         ::testing::Values(ThemeKind::Light, ThemeKind::Dark,
                                           ThemeKind::HighContrast));

TEST(RenderToPng, WritesAPngOfTheRequestedPixelSize) {
    char pattern[] = "/tmp/velto-render-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    SmallTree tree;
    const std::string path = (dir / "tree.png").string();
    ASSERT_EQ(RenderToPng(tree.root, SizeF{200, 100}, 1.5f, DarkTheme(kDefaultAccent), path), kOk);
    EXPECT_EQ(tree.root.GetHost(), nullptr); // detached again
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 300);
    EXPECT_EQ(cairo_image_surface_get_height(png), 150);
    cairo_surface_destroy(png);
    std::filesystem::remove_all(dir);

    Stack parent;
    auto* child = parent.Add(std::make_unique<Stack>());
    EXPECT_EQ(RenderToPng(*child, SizeF{10, 10}, 1, DetachedTheme(), "/nonexistent/x.png"),
              kInvalidArg);
}

TEST(RenderedTree, OpacityFadesTheSubtree) {
    Stack root;
    auto* box = root.Add(std::make_unique<Border>());
    box->SetBackground(BorderBackground::Explicit, Color{0, 0, 0, 1});
    box->SetHeight(20);
    HeadlessHost host(root, LightTheme(kDefaultAccent));
    EXPECT_NEAR(host.Render(SizeF{40, 40})->PixelAt(5, 5).r, 0, 1);
    box->SetOpacity(0.5f);
    EXPECT_NEAR(host.Render(SizeF{40, 40})->PixelAt(5, 5).r, 243 / 2.0, 2);
    box->SetVisible(false);
    EXPECT_NEAR(host.Render(SizeF{40, 40})->PixelAt(5, 5).r, 243, 1);
}

} // namespace
} // namespace Velto::Widget
