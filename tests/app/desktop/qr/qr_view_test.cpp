// The QR view rendered without a window: a real decoder reads the address
// back, every module lands on whole pixels inside a white quiet zone, and
// the bitmap is made once per text.

#include "app/desktop/qr/qr_view.h"
#include "tests/support/netns_lab.h"
#include "widget/input/headless_host.h"
#include "widget/render/cairo_canvas.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace App {
namespace {

using Velto::Corvane::Testing::RunCommand;
using Velto::Widget::CairoCanvas;
using Velto::Widget::HeadlessHost;
using Velto::Widget::Rgba8;
using Velto::Widget::SizeF;

constexpr std::u16string_view kAddress = u"http://192.168.1.20:8080/";
constexpr std::int32_t kQuietModules = 4;

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-qrview-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

Velto::Widget::Theme Light() {
    return Velto::Widget::LightTheme(Velto::Widget::kDefaultAccent);
}

bool IsWhite(const Rgba8& p) {
    return p.r == 255 && p.g == 255 && p.b == 255 && p.a == 255;
}
bool IsBlack(const Rgba8& p) {
    return p.r == 0 && p.g == 0 && p.b == 0 && p.a == 255;
}

std::string Decode(CairoCanvas& canvas, const std::filesystem::path& file) {
    EXPECT_EQ(canvas.WritePng(file.string()), 0);
    auto result =
        RunCommand({"bash", "-c", "zbarimg --raw -q '" + file.string() + "' 2>/dev/null"});
    while (!result.output.empty() && result.output.back() == '\n')
        result.output.pop_back();
    return result.output;
}

TEST(QrViewTest, RendersTheAddressOnWholePixelsInsideItsQuietZone) {
    TempFolder folder;
    struct Case {
        float scale;
        SizeF size;
    };
    for (const Case& c : {Case{1.0f, {240, 240}}, Case{1.5f, {240, 240}}, Case{1.25f, {300, 260}},
                          Case{2.0f, {180, 240}}}) {
        SCOPED_TRACE(testing::Message()
                     << "scale " << c.scale << ", " << c.size.width << " x " << c.size.height);
        QrView view{240};
        view.SetText(std::u16string{kAddress});
        ASSERT_TRUE(view.HasSymbol());
        const QrSymbol& symbol = view.Symbol();
        EXPECT_EQ(symbol.version, 2);
        HeadlessHost host{view, Light(), c.scale};
        const auto canvas = host.Render(c.size);
        ASSERT_TRUE(canvas);
        EXPECT_EQ(Decode(*canvas, folder.path / "view.png"), "http://192.168.1.20:8080/");

        // Where the modules should be: whole pixels each, the square centred.
        const int widthPx = canvas->PixelWidth();
        const int heightPx = canvas->PixelHeight();
        const int module = std::max(
            1, static_cast<int>(std::floor(std::min(c.size.width, c.size.height) * c.scale /
                                           static_cast<float>(symbol.size + 2 * kQuietModules))));
        const int edge = module * symbol.size;
        const int left = static_cast<int>(std::lround((c.size.width * c.scale - edge) / 2));
        const int top = static_cast<int>(std::lround((c.size.height * c.scale - edge) / 2));
        EXPECT_GE(left, kQuietModules * module);
        EXPECT_GE(top, kQuietModules * module);
        for (int y = 0; y < heightPx; ++y) {
            for (int x = 0; x < widthPx; ++x) {
                const Rgba8 pixel = canvas->PixelAt(x, y);
                const int mx = x - left;
                const int my = y - top;
                const bool inside = mx >= 0 && my >= 0 && mx < edge && my < edge;
                const bool dark = inside && symbol.Dark(mx / module, my / module);
                ASSERT_TRUE(dark ? IsBlack(pixel) : IsWhite(pixel)) << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(QrViewTest, MeasuresItsSizeAndNamesItself) {
    QrView view{240};
    view.Measure(SizeF{100, 100});
    EXPECT_EQ(view.DesiredSize(), (SizeF{240, 240}));
    view.SetText(std::u16string{kAddress});
    EXPECT_EQ(view.ClassName(), "QrView");
    EXPECT_EQ(view.AccessibleName(), u"QR http://192.168.1.20:8080/");
    EXPECT_EQ(view.AccessibilityRole(), Velto::Widget::kRoleImage);
    EXPECT_TRUE(view.IsAccessibilityElement());
}

TEST(QrViewTest, TheBitmapIsMadeOncePerText) {
    QrView view{240};
    view.SetText(std::u16string{kAddress});
    HeadlessHost host{view, Light()};
    EXPECT_FALSE(view.CachedBitmap());
    ASSERT_TRUE(host.Render(SizeF{240, 240}));
    const auto first = view.CachedBitmap();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->PixelWidth(), view.Symbol().size);

    view.SetText(std::u16string{kAddress});
    ASSERT_TRUE(host.Render(SizeF{240, 240}));
    EXPECT_EQ(view.CachedBitmap(), first);

    view.SetText(u"https://192.168.1.20/");
    EXPECT_FALSE(view.CachedBitmap());
    EXPECT_TRUE(host.PaintRequested());
    ASSERT_TRUE(host.Render(SizeF{240, 240}));
    EXPECT_TRUE(view.CachedBitmap());
    EXPECT_NE(view.CachedBitmap(), first);
}

TEST(QrViewTest, TextTooLongForASymbolLeavesWhite) {
    QrView view{240};
    view.SetText(std::u16string(214, u'a'));
    EXPECT_FALSE(view.HasSymbol());
    HeadlessHost host{view, Velto::Widget::DarkTheme(Velto::Widget::kDefaultAccent)};
    const auto canvas = host.Render(SizeF{240, 240});
    ASSERT_TRUE(canvas);
    for (int y = 0; y < canvas->PixelHeight(); y += 3) {
        for (int x = 0; x < canvas->PixelWidth(); x += 3)
            ASSERT_TRUE(IsWhite(canvas->PixelAt(x, y))) << x << "," << y;
    }
    // 213 bytes still fit (version 10).
    view.SetText(std::u16string(213, u'a'));
    EXPECT_TRUE(view.HasSymbol());
    EXPECT_EQ(view.Symbol().version, 10);
}

TEST(QrViewTest, ANarrowViewOverflowsEvenlyWithOnePixelModules) {
    QrView view{240};
    view.SetText(std::u16string{kAddress});
    const QrSymbol& symbol = view.Symbol();
    HeadlessHost host{view, Light()};
    const auto canvas = host.Render(SizeF{20, 20}); // less than 25 + 8 pixels
    ASSERT_TRUE(canvas);
    // 25 modules of one pixel in 20: 2 or 3 of them cut off on each side.
    bool matched = false;
    for (const int cut : {2, 3}) {
        bool all = true;
        for (int y = 0; y < 20 && all; ++y) {
            for (int x = 0; x < 20 && all; ++x)
                all = IsBlack(canvas->PixelAt(x, y)) == symbol.Dark(x + cut, y + cut);
        }
        matched = matched || all;
    }
    EXPECT_TRUE(matched);
}

} // namespace
} // namespace App
