#include "widget/render/cairo_canvas.h"
#include "widget/render/icon_glyphs.h"
#include "widget/render/units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace Velto::Widget {
namespace {

constexpr Rgba8 kWhite{255, 255, 255, 255};
constexpr Rgba8 kBlack{0, 0, 0, 255};

// Counts the rows of a column, from the top, that are fully black.
int BlackRunFrom(CairoCanvas& canvas, int x, int y) {
    int run = 0;
    while (canvas.PixelAt(x, y + run) == kBlack)
        ++run;
    return run;
}

TEST(Hairline, WidthsAtCommonScales) {
    EXPECT_EQ(HairlinePixels(1.0f), 1);
    EXPECT_EQ(HairlinePixels(1.25f), 1);
    EXPECT_EQ(HairlinePixels(1.5f), 2);
    EXPECT_EQ(HairlinePixels(2.0f), 2);
    EXPECT_EQ(HairlinePixels(2.49f), 2);
    EXPECT_EQ(HairlinePixels(2.5f), 3);
    EXPECT_FLOAT_EQ(HairlineDips(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(HairlineDips(1.25f), 0.8f);
    EXPECT_FLOAT_EQ(HairlineDips(1.5f), 2.0f / 1.5f);
    EXPECT_FLOAT_EQ(HairlineDips(2.0f), 1.0f);
}

TEST(Hairline, DrawnCrispOnWholePixels) {
    for (const float scale : {1.0f, 1.25f, 1.5f, 2.0f}) {
        CairoCanvas canvas(100, 100, scale);
        canvas.Clear(Color{1, 1, 1, 1});
        canvas.PushOffset(3.3f, 0);
        // A hairline along the top edge of a snapped box, stroked half its
        // width inside.
        const RectF box = canvas.SnapToPixels(RectF{0, 10.3f, 40, 20});
        const float h = canvas.Hairline();
        canvas.DrawLine(PointF{box.x, box.y + h / 2}, PointF{box.Right(), box.y + h / 2},
                        Color{0, 0, 0, 1}, h);
        canvas.PopOffset();
        const int top = static_cast<int>(std::lround((box.y) * scale));
        const int x = static_cast<int>(std::lround((box.x + 3.3f) * scale)) + 2;
        EXPECT_EQ(canvas.PixelAt(x, top - 1), kWhite) << scale;
        EXPECT_EQ(BlackRunFrom(canvas, x, top), HairlinePixels(scale)) << scale;
    }
}

TEST(Canvas, SnapMovesEdgesOntoDevicePixels) {
    CairoCanvas canvas(10, 10, 1.5f);
    const RectF snapped = canvas.SnapToPixels(RectF{0.5f, 0.5f, 3.1f, 2.0f});
    // 0.75 px -> 1 px, 5.4 px -> 5 px; 0.75 -> 1, 3.75 -> 4.
    EXPECT_FLOAT_EQ(snapped.x * 1.5f, 1);
    EXPECT_FLOAT_EQ(snapped.Right() * 1.5f, 5);
    EXPECT_FLOAT_EQ(snapped.y * 1.5f, 1);
    EXPECT_FLOAT_EQ(snapped.Bottom() * 1.5f, 4);
}

TEST(Canvas, ClipAndOffsetNest) {
    CairoCanvas canvas(40, 40, 1);
    canvas.Clear(Color{1, 1, 1, 1});
    canvas.PushOffset(10, 10);
    canvas.PushClip(RectF{0, 0, 5, 5});
    EXPECT_TRUE(canvas.IsVisible(RectF{4, 4, 10, 10}));
    EXPECT_FALSE(canvas.IsVisible(RectF{6, 0, 10, 10}));
    canvas.FillRect(RectF{-10, -10, 100, 100}, Color{0, 0, 0, 1});
    canvas.PopClip();
    canvas.PopOffset();
    EXPECT_EQ(canvas.PixelAt(10, 10), kBlack);
    EXPECT_EQ(canvas.PixelAt(14, 14), kBlack);
    EXPECT_EQ(canvas.PixelAt(15, 15), kWhite);
    EXPECT_EQ(canvas.PixelAt(9, 9), kWhite);
    // After the pops the whole target is drawable again.
    canvas.FillRect(RectF{30, 30, 5, 5}, Color{0, 0, 0, 1});
    EXPECT_EQ(canvas.PixelAt(31, 31), kBlack);
}

// Total coverage of the canvas (sum of alpha over every pixel, 0-255 each).
double TotalAlpha(CairoCanvas& canvas) {
    double sum = 0;
    for (int y = 0; y < canvas.PixelHeight(); ++y)
        for (int x = 0; x < canvas.PixelWidth(); ++x)
            sum += canvas.PixelAt(x, y).a;
    return sum;
}

TEST(Canvas, RoundedOutlineOnWholePixelsMatchesTheGeneralPath) {
    for (const float scale : {1.0f, 1.25f, 1.5f, 2.0f}) {
        const float width = HairlineDips(scale);
        // On whole pixels (drawn in pieces) and a hair off them (one path).
        CairoCanvas aligned(80, 60, scale);
        const RectF box = aligned.SnapToPixels(RectF{4, 4, 40, 24});
        const RectF line{box.x + width / 2, box.y + width / 2, box.width - width,
                         box.height - width};
        aligned.StrokeRoundedRect(line, 4, Color{0, 0, 0, 1}, width);
        CairoCanvas general(80, 60, scale);
        general.PushOffset(0.01f / scale, 0);
        general.StrokeRoundedRect(line, 4, Color{0, 0, 0, 1}, width);
        general.PopOffset();
        EXPECT_NEAR(TotalAlpha(aligned), TotalAlpha(general), TotalAlpha(general) * 0.01) << scale;

        // Straight edges are solid hairlines; the corner's outside stays clear.
        const int top = static_cast<int>(std::lround(box.y * scale));
        const int middle = static_cast<int>(std::lround((box.x + box.width / 2) * scale));
        EXPECT_EQ(BlackRunFrom(aligned, middle, top), HairlinePixels(scale)) << scale;
        const int left = static_cast<int>(std::lround(box.x * scale));
        EXPECT_EQ(aligned.PixelAt(left, top).a, 0) << scale;
        const int halfway = static_cast<int>(std::lround((box.y + 12) * scale));
        EXPECT_EQ(aligned.PixelAt(left, halfway), kBlack) << scale;
        EXPECT_EQ(aligned.PixelAt(left - 1, halfway).a, 0) << scale;
    }
}

TEST(Canvas, OpacityLayerComposesOnce) {
    CairoCanvas canvas(20, 20, 1);
    canvas.Clear(Color{1, 1, 1, 1});
    canvas.PushOpacity(0.5f);
    canvas.FillRect(RectF{0, 0, 10, 10}, Color{0, 0, 0, 1});
    canvas.FillRect(RectF{0, 0, 10, 10}, Color{0, 0, 0, 1}); // overlapping: still 50 %
    canvas.PopOpacity();
    const Rgba8 p = canvas.PixelAt(5, 5);
    EXPECT_NEAR(p.r, 128, 2);
}

std::vector<std::uint8_t> Checkerboard() {
    // 2 x 2 premultiplied BGRA: black, white / white, black.
    return {0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255};
}

TEST(Canvas, BitmapInterpolationModes) {
    const auto pixels = Checkerboard();
    const auto bitmap = Bitmap::FromBgra(2, 2, 8, pixels);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Size(), (SizeF{2, 2}));
    const RectF source{0, 0, 2, 2};
    const RectF destination{0, 0, 20, 20};

    CairoCanvas nearest(20, 20, 1);
    nearest.DrawBitmap(*bitmap, source, destination, 1, Interpolation::NearestNeighbor);
    EXPECT_EQ(nearest.PixelAt(9, 9), kBlack);
    EXPECT_EQ(nearest.PixelAt(10, 9), kWhite);

    CairoCanvas linear(20, 20, 1);
    linear.DrawBitmap(*bitmap, source, destination, 1, Interpolation::Linear);
    const Rgba8 blend = linear.PixelAt(10, 9);
    EXPECT_GT(blend.r, 40);
    EXPECT_LT(blend.r, 215);
    EXPECT_EQ(linear.PixelAt(0, 0), kBlack); // edges do not fade out

    CairoCanvas cubic(20, 20, 1);
    cubic.DrawBitmap(*bitmap, source, destination, 0.5f, Interpolation::HighQualityCubic);
    EXPECT_NEAR(cubic.PixelAt(0, 0).a, 128, 2);
}

TEST(Canvas, BitmapFromBgraRejectsShortBuffers) {
    const std::vector<std::uint8_t> pixels(15);
    EXPECT_FALSE(Bitmap::FromBgra(2, 2, 8, pixels));
    EXPECT_FALSE(Bitmap::FromBgra(0, 2, 8, pixels));
    const std::vector<std::uint8_t> hiDpi(4 * 4 * 4);
    const auto bitmap = Bitmap::FromBgra(4, 4, 16, hiDpi, 192);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Size(), (SizeF{2, 2}));
}

TEST(IconGlyphs, EveryIconOfTheProgramIsMapped) {
    const char32_t used[] = {0xE70D, 0xE70E, 0xE70F, 0xE710, 0xE711, 0xE713, 0xE716,
                             0xE71B, 0xE72B, 0xE72D, 0xE72E, 0xE73E, 0xE74D, 0xE768,
                             0xE76B, 0xE76C, 0xE7BA, 0xE81C, 0xE838, 0xE895, 0xE897,
                             0xE8A5, 0xE8A7, 0xE8C8, 0xE8F4, 0xE946, 0xEA39, 0xED14};
    for (const char32_t glyph : used)
        EXPECT_NE(MapIconGlyph(glyph), 0u) << std::hex << static_cast<std::uint32_t>(glyph);
    EXPECT_EQ(MappedIconGlyphs().size(), std::size(used));
    EXPECT_EQ(MapIconGlyph(0xE700), 0u);
    EXPECT_EQ(MapIconGlyph(U'A'), 0u);
}

int InkPixels(CairoCanvas& canvas, const RectF& box) {
    int ink = 0;
    for (int y = static_cast<int>(box.y); y < static_cast<int>(box.Bottom()); ++y)
        for (int x = static_cast<int>(box.x); x < static_cast<int>(box.Right()); ++x)
            ink += canvas.PixelAt(x, y).r < 128 ? 1 : 0;
    return ink;
}

TEST(IconGlyphs, EveryMappedGlyphDrawsInsideItsBox) {
    for (const char32_t glyph : MappedIconGlyphs()) {
        CairoCanvas canvas(48, 48, 1);
        canvas.Clear(Color{1, 1, 1, 1});
        canvas.DrawIconGlyph(glyph, PointF{8, 8}, 32, Color{0, 0, 0, 1});
        const int inside = InkPixels(canvas, RectF{8, 8, 32, 32});
        const int all = InkPixels(canvas, RectF{0, 0, 48, 48});
        EXPECT_GT(inside, 20) << std::hex << static_cast<std::uint32_t>(glyph);
        EXPECT_EQ(all, inside) << std::hex << static_cast<std::uint32_t>(glyph);
    }
}

TEST(IconGlyphs, AnUnmappedGlyphDrawsNothing) {
    CairoCanvas canvas(48, 48, 1);
    canvas.Clear(Color{1, 1, 1, 1});
    canvas.DrawIconGlyph(0xE700, PointF{8, 8}, 32, Color{0, 0, 0, 1});
    EXPECT_EQ(InkPixels(canvas, RectF{0, 0, 48, 48}), 0);
}

} // namespace
} // namespace Velto::Widget
