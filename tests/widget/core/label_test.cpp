#include "tests/widget/core/layout_probe.h"
#include "widget/core/icon.h"
#include "widget/core/image.h"
#include "widget/core/label.h"

#include <gtest/gtest.h>

#include <vector>

namespace Velto::Widget {
namespace {

using Testing::Layout;

TEST(LabelStyles, SizesAndWeights) {
    const Theme& t = DetachedTheme();
    EXPECT_EQ(FormatForStyle(t, TextStyle::Body, false), (TextFormat{kTextFontFamily, 14, 400}));
    EXPECT_EQ(FormatForStyle(t, TextStyle::Caption, false), (TextFormat{kTextFontFamily, 12, 400}));
    EXPECT_EQ(FormatForStyle(t, TextStyle::Subtitle, false),
              (TextFormat{kTextFontFamily, 20, 600}));
    EXPECT_EQ(FormatForStyle(t, TextStyle::Display, false), (TextFormat{kTextFontFamily, 28, 600}));
    EXPECT_EQ(FormatForStyle(t, TextStyle::Body, true).weight, 600);
}

TEST(Label, MeasuresItsText) {
    Label label(u"공유 Share");
    label.Measure(SizeF{kInfinity, kInfinity});
    const SizeF expected =
        TextLayout(u"공유 Share", FormatForStyle(DetachedTheme(), TextStyle::Body, false),
                   TextOptions{})
            .Size();
    EXPECT_EQ(label.DesiredSize(), expected);
    label.SetStyle(TextStyle::Subtitle);
    EXPECT_FALSE(label.IsMeasureValid());
    label.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_GT(label.DesiredSize().height, expected.height);
}

TEST(Label, WrapsToTheAvailableWidth) {
    Label label(u"브라우저에서 공유한 폴더를 열고 파일을 내려받을 수 있습니다");
    label.SetWrap(true);
    label.Measure(SizeF{kInfinity, kInfinity});
    const SizeF oneLine = label.DesiredSize();
    label.Measure(SizeF{100, kInfinity});
    EXPECT_LE(label.DesiredSize().width, 100);
    EXPECT_GT(label.DesiredSize().height, oneLine.height * 2);
}

TEST(Label, TrimsWithAnEllipsisAtTheArrangedWidth) {
    Label label(u"C:/아주/긴/경로/이름/파일.txt and more");
    label.SetTrimming(true);
    Layout(label, 80, 40);
    ASSERT_NE(label.Layout(), nullptr);
    EXPECT_TRUE(label.Layout()->IsTrimmed());
    EXPECT_LE(label.DesiredSize().width, 80);
}

TEST(Label, CentredTextIsLaidOutInTheArrangedWidth) {
    Label label(u"Hi");
    label.SetAlignment(TextAlignment::Center);
    Layout(label, 200, 40);
    ASSERT_NE(label.Layout(), nullptr);
    EXPECT_NEAR(label.Layout()->DrawOffset().x, (200 - label.Layout()->Size().width) / 2, 0.1);
}

TEST(Icon, MeasuresItsSizeOrTheThemes) {
    Icon icon(0xE713);
    icon.Measure(SizeF{100, 100});
    EXPECT_EQ(icon.DesiredSize(), (SizeF{16, 16}));
    icon.SetSize(40);
    icon.Measure(SizeF{100, 100});
    EXPECT_EQ(icon.DesiredSize(), (SizeF{40, 40}));
}

TEST(Image, NaturalSizeAndUniformShrinking) {
    const std::vector<std::uint8_t> pixels(200 * 100 * 4, 255);
    Image image;
    EXPECT_EQ(image.AccessibilityRole(), kRoleImage);
    image.SetBitmap(Bitmap::FromBgra(200, 100, 800, pixels, 192));
    image.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_EQ(image.DesiredSize(), (SizeF{100, 50}));
    image.SetStretch(Stretch::Uniform);
    image.Measure(SizeF{50, kInfinity});
    EXPECT_EQ(image.DesiredSize(), (SizeF{50, 25}));
    image.Measure(SizeF{500, kInfinity});
    EXPECT_EQ(image.DesiredSize(), (SizeF{100, 50}));
}

} // namespace
} // namespace Velto::Widget
