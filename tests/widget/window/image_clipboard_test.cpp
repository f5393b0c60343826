// Images on the desktop clipboard on a private X server, checked with xclip
// as another program: an image we put there is offered as image/png, a PNG
// another program offers is read back, and text put there afterwards
// replaces the image.
#include "widget/render/bitmap.h"
#include "widget/window/png_codec.h"
#include "widget/window/system_clipboard.h"

#include <cairo.h>

#include <array>
#include <filesystem>
#include <fstream>

// Last: it brings in Xlib and its macros.
#include "tests/widget/window/gui_rig.h"

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

using Velto::Widget::TheSystemClipboard;
using Velto::Testing::CommandOutput;

// A 3 x 2 image of opaque, distinct colours (BGRA), and one with a half
// transparent pixel (premultiplied).
std::shared_ptr<const Bitmap> Sample(std::uint8_t seed) {
    std::array<std::uint8_t, 3 * 2 * 4> pixels{};
    for (std::size_t i = 0; i < 6; ++i) {
        pixels[i * 4 + 0] = static_cast<std::uint8_t>(seed + 40 * i);
        pixels[i * 4 + 1] = static_cast<std::uint8_t>(200 - 30 * i);
        pixels[i * 4 + 2] = static_cast<std::uint8_t>(seed * 3 + i);
        pixels[i * 4 + 3] = 255;
    }
    pixels[20] = 64; // premultiplied at alpha 128
    pixels[21] = 32;
    pixels[22] = 16;
    pixels[23] = 128;
    return Bitmap::FromBgra(3, 2, 12, pixels);
}

std::vector<std::uint8_t> PixelsOf(const Bitmap& bitmap) {
    cairo_surface_t* surface = bitmap.NativeSurface();
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint8_t> out;
    for (int y = 0; y < bitmap.PixelHeight(); ++y)
        out.insert(out.end(), data + y * stride, data + y * stride + bitmap.PixelWidth() * 4);
    return out;
}

// The clipboard as xclip reads it, while the UI loop answers.
CommandOutput ReadWithXclip(const std::string& target) {
    CommandOutput out;
    Driver driver([&] {
        out = GuiEnvironment::X().Run({"xclip", "-selection", "clipboard", "-t", target, "-o"});
    });
    PumpUntil([&] { return driver.Done(); });
    return out;
}

std::unique_ptr<Window> OpenWindow() {
    auto window = std::make_unique<Window>();
    if (!window->Create(Options(u"Clipboard", 120, 80)))
        return nullptr;
    window->Show();
    if (!PumpUntil([&] { return window->IsShown(); }))
        return nullptr;
    return window;
}

TEST(ImageClipboardTest, AnImageIsOfferedAsPngToOtherPrograms) {
    auto window = OpenWindow();
    ASSERT_NE(window, nullptr);
    const auto image = Sample(10);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(TheSystemClipboard().SetImage(window.get(), *image, {}));

    const CommandOutput targets = ReadWithXclip("TARGETS");
    EXPECT_NE(targets.out.find("image/png"), std::string::npos) << targets.out;
    EXPECT_EQ(targets.out.find("x-kde-passwordManagerHint"), std::string::npos);

    const CommandOutput png = ReadWithXclip("image/png");
    ASSERT_EQ(png.status, 0);
    const auto decoded =
        DecodePng(std::span(reinterpret_cast<const std::uint8_t*>(png.out.data()), png.out.size()));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->PixelWidth(), 3);
    EXPECT_EQ(decoded->PixelHeight(), 2);
    EXPECT_EQ(PixelsOf(*decoded), PixelsOf(*image));

    // Our own image reads back without a round trip through the server.
    std::shared_ptr<const Bitmap> back;
    ASSERT_TRUE(TheSystemClipboard().GetImage(window.get(), back));
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*image));

    // Text a text box copies replaces the image.
    ASSERT_TRUE(TheSystemClipboard().SetText(window.get(), u"now text"));
    EXPECT_NE(ReadWithXclip("image/png").status, 0);
    EXPECT_FALSE(TheSystemClipboard().GetImage(window.get(), back));
    EXPECT_EQ(ReadWithXclip("UTF8_STRING").out, "now text");
}

TEST(ImageClipboardTest, ReadyMadeBytesAndTheHistoryHintAreOffered) {
    auto window = OpenWindow();
    ASSERT_NE(window, nullptr);
    const auto image = Sample(90);
    ClipboardImageOptions options;
    options.png = EncodePng(*Sample(7));
    options.excludeFromHistory = true;
    ASSERT_TRUE(TheSystemClipboard().SetImage(window.get(), *image, options));

    const CommandOutput png = ReadWithXclip("image/png");
    EXPECT_EQ(std::vector<std::uint8_t>(png.out.begin(), png.out.end()), options.png);
    EXPECT_EQ(ReadWithXclip("x-kde-passwordManagerHint").out, "secret");
}

TEST(ImageClipboardTest, APngAnotherProgramOffersIsRead) {
    auto window = OpenWindow();
    ASSERT_NE(window, nullptr);
    const auto image = Sample(55);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "velto-clip.png";
    {
        const std::vector<std::uint8_t> bytes = EncodePng(*image);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    XLook look;
    const Atom clipboard = XInternAtom(look.Get(), "CLIPBOARD", False);
    const ::Window before = XGetSelectionOwner(look.Get(), clipboard);
    GuiEnvironment::X().Run(
        {"sh", "-c",
         "xclip -selection clipboard -t image/png -i '" + file.string() + "' >/dev/null 2>&1"});
    ASSERT_TRUE(PumpUntil([&] {
        const ::Window owner = XGetSelectionOwner(look.Get(), clipboard);
        return owner != None && owner != before;
    }));

    std::shared_ptr<const Bitmap> read;
    ASSERT_TRUE(TheSystemClipboard().GetImage(window.get(), read));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(PixelsOf(*read), PixelsOf(*image));
    std::filesystem::remove(file);
}

} // namespace
} // namespace Velto::Widget::Testing
