#include "widget/render/cairo_canvas.h"
#include "widget/render/text_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Velto::Widget {
namespace {

const TextFormat kBody{kTextFontFamily, 14, kWeightRegular};

// The smallest box holding every pixel darker than the white background.
RectF InkBounds(CairoCanvas& canvas) {
    int left = canvas.PixelWidth(), top = canvas.PixelHeight(), right = -1, bottom = -1;
    for (int y = 0; y < canvas.PixelHeight(); ++y)
        for (int x = 0; x < canvas.PixelWidth(); ++x)
            if (canvas.PixelAt(x, y).r < 250) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return RectF{};
    return RectF{static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right - left + 1), static_cast<float>(bottom - top + 1)};
}

TEST(TextLayout, KoreanIsShapedAndFitsItsMeasuredBox) {
    for (const float scale : {1.0f, 2.0f}) {
        const TextLayout layout(u"공유 폴더를 추가하세요", kBody, TextOptions{});
        EXPECT_EQ(layout.UnknownGlyphCount(), 0);
        const SizeF size = layout.Size();
        EXPECT_GT(size.width, 50);
        EXPECT_GT(size.height, 14);
        CairoCanvas canvas(400, 100, scale);
        canvas.Clear(Color{1, 1, 1, 1});
        const PointF origin{10, 10};
        canvas.DrawTextLayout(layout, origin, Color{0, 0, 0, 1});
        const RectF ink = InkBounds(canvas);
        ASSERT_FALSE(ink.IsEmpty()) << scale;
        EXPECT_GE(ink.x, origin.x * scale - 1) << scale;
        EXPECT_GE(ink.y, origin.y * scale - 1) << scale;
        EXPECT_LE(ink.Right(), (origin.x + size.width) * scale + 1) << scale;
        EXPECT_LE(ink.Bottom(), (origin.y + size.height) * scale + 1) << scale;
    }
}

TEST(TextLayout, MixedTextMeasuresTheSumOfItsParts) {
    const float latin = TextLayout(u"Share ", kBody, TextOptions{}).Size().width;
    const float korean = TextLayout(u"공유", kBody, TextOptions{}).Size().width;
    const TextLayout mixed(u"Share 공유", kBody, TextOptions{});
    EXPECT_EQ(mixed.UnknownGlyphCount(), 0);
    EXPECT_NEAR(mixed.Size().width, latin + korean, 1.0f);
    // The same layout measures the same whatever scale it is drawn at.
    EXPECT_EQ(TextLayout(u"Share 공유", kBody, TextOptions{}).Size(), mixed.Size());
}

TEST(TextLayout, BoldIsWiderAndLargerIsTaller) {
    const SizeF regular = TextLayout(u"Settings", kBody, TextOptions{}).Size();
    const SizeF bold =
        TextLayout(u"Settings", TextFormat{kTextFontFamily, 14, kWeightSemibold}, TextOptions{})
            .Size();
    const SizeF large =
        TextLayout(u"Settings", TextFormat{kTextFontFamily, 28, kWeightRegular}, TextOptions{})
            .Size();
    EXPECT_GT(bold.width, regular.width);
    EXPECT_GT(large.height, regular.height * 1.8f);
}

TEST(TextLayout, WrapsInsideTheMaximumWidth) {
    TextOptions options;
    options.wrapping = TextWrapping::Wrap;
    const std::u16string text = u"파일과 폴더를 공유하고 브라우저에서 열어 보세요 and share them";
    const TextLayout single(text, kBody, TextOptions{});
    const TextLayout wrapped(text, kBody, options, 120);
    EXPECT_EQ(single.LineCount(), 1);
    EXPECT_GT(wrapped.LineCount(), 2);
    EXPECT_LE(wrapped.Size().width, 120);
    EXPECT_GT(wrapped.Size().height, single.Size().height * 2);
}

// Korean wraps between words, as Korean typography sets it, at any width
// (the line-breaking rules alone allow a break between any two syllables).
TEST(TextLayout, KoreanWrapsAtSpacesOnly) {
    const std::u16string text =
        u"이 컴퓨터에 접속할 수 있는 사람은 같은 네트워크에 있는 사람들뿐입니다 (LAN only)";
    for (const TextWrapping wrapping : {TextWrapping::Wrap, TextWrapping::EmergencyBreak}) {
        TextOptions options;
        options.wrapping = wrapping;
        for (float width = 90; width <= 400; width += 10) {
            SCOPED_TRACE(width);
            const TextLayout layout(text, kBody, options, width);
            for (const std::size_t start : layout.LineStarts()) {
                if (start == 0)
                    continue;
                EXPECT_EQ(text[start - 1], u' ') << "a line starts inside a word, at " << start;
            }
            EXPECT_GT(layout.LineCount(), width < 300 ? 1 : 0);
        }
    }
}

TEST(TextLayout, EllipsisTrimsToTheWidth) {
    TextOptions options;
    options.trimming = TextTrimming::CharacterEllipsis;
    const std::u16string text = u"/home/user/공유 폴더/아주 긴 이름의 파일.txt";
    const TextLayout full(text, kBody, options);
    EXPECT_FALSE(full.IsTrimmed());
    const TextLayout trimmed(text, kBody, options, 100);
    EXPECT_TRUE(trimmed.IsTrimmed());
    EXPECT_EQ(trimmed.LineCount(), 1);
    EXPECT_LE(trimmed.Size().width, 100);
    EXPECT_GT(trimmed.Size().width, 60);
}

TEST(TextLayout, AlignmentInsideABoundedWidth) {
    TextOptions centred;
    centred.alignment = TextAlignment::Center;
    const TextLayout layout(u"Hi", kBody, centred, 200);
    EXPECT_NEAR(layout.DrawOffset().x, (200 - layout.Size().width) / 2, 0.01);
    TextOptions trailing;
    trailing.alignment = TextAlignment::Trailing;
    trailing.paragraphAlignment = ParagraphAlignment::Far;
    const TextLayout bottomRight(u"Hi", kBody, trailing, 200, 100);
    EXPECT_NEAR(bottomRight.DrawOffset().x, 200 - bottomRight.Size().width, 0.01);
    EXPECT_NEAR(bottomRight.DrawOffset().y, 100 - bottomRight.Size().height, 0.01);
}

TEST(TextLayout, HitTestingMapsPointsAndCaretsInUtf16) {
    // "a😀b": the emoji is a surrogate pair, so "b" is at UTF-16 index 3.
    const TextLayout layout(u"a\U0001F600b", kBody, TextOptions{});
    const RectF endCaret = layout.CaretRect(4);
    EXPECT_NEAR(endCaret.x, layout.Size().width, 0.5);
    const RectF bCaret = layout.CaretRect(3);
    const auto hit = layout.HitTestPoint(PointF{bCaret.x + 1, layout.Size().height / 2});
    EXPECT_TRUE(hit.inside);
    EXPECT_EQ(hit.position, 3u);
    EXPECT_FALSE(hit.trailing);
    const RectF trailingCaret = layout.CaretRect(1, true);
    EXPECT_NEAR(trailingCaret.x, bCaret.x, 0.01);
    const auto beyond = layout.HitTestPoint(PointF{layout.Size().width + 50, 5});
    EXPECT_FALSE(beyond.inside);
    EXPECT_EQ(beyond.position + (beyond.trailing ? 1 : 0), 4u);
    EXPECT_GT(endCaret.height, 10);
}

} // namespace
} // namespace Velto::Widget
