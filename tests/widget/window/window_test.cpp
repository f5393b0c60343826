// Windows on a private X server with a window manager: what they paint, the
// keys and text typed into them, their DPI, their X properties and close
// requests.
#include "tests/widget/window/gui_rig.h"
#include "widget/core/stack.h"
#include "widget/input/key_codes.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr Color kProbeFill = Color::FromRgb8(200, 30, 40);

// A window over a root widget with a fixed theme, shown and given the focus.
std::unique_ptr<Window> OpenWindow(std::unique_ptr<Widget> root, const Theme& theme,
                                   WindowOptions options) {
    auto window = std::make_unique<Window>();
    if (!window->Create(options))
        return nullptr;
    window->SetThemeSource([theme] { return theme; });
    window->SetRoot(std::move(root));
    window->Show();
    if (!PumpUntil([&] { return window->IsShown() && window->IsActive(); }))
        return nullptr;
    return window;
}

int CountPixels(const std::vector<XLook::Rgb>& pixels, int width, int row, XLook::Rgb colour) {
    int count = 0;
    for (int x = 0; x < width; ++x)
        if (pixels[static_cast<std::size_t>(row) * width + x] == colour)
            ++count;
    return count;
}

TEST(WindowTest, PaintsTheThemeBackgroundAndFollowsAThemeChange) {
    XLook look;
    auto window = OpenWindow(std::make_unique<Stack>(), LightTheme(kDefaultAccent),
                             Options(u"Paint", 240, 160));
    ASSERT_NE(window, nullptr);
    const unsigned long xwindow = window->XWindow();
    const XLook::Rgb light = ToRgb(LightTheme(kDefaultAccent).windowBackground);
    EXPECT_TRUE(PumpUntil([&] { return look.PixelAt(xwindow, 120, 80) == light; }));

    const Theme dark = DarkTheme(kDefaultAccent);
    window->SetThemeSource([dark] { return dark; });
    const XLook::Rgb darkColour = ToRgb(dark.windowBackground);
    ASSERT_NE(light, darkColour);
    EXPECT_TRUE(PumpUntil([&] {
        return look.PixelAt(xwindow, 5, 5) == darkColour &&
               look.PixelAt(xwindow, 235, 155) == darkColour;
    }));
}

TEST(WindowTest, ResizingRepaintsTheNewArea) {
    XLook look;
    auto window = OpenWindow(std::make_unique<Stack>(), LightTheme(kDefaultAccent),
                             Options(u"Resize", 120, 90));
    ASSERT_NE(window, nullptr);
    window->ResizeClient(SizeF{300, 200});
    const XLook::Rgb light = ToRgb(LightTheme(kDefaultAccent).windowBackground);
    EXPECT_TRUE(PumpUntil([&] {
        return window->ClientSize() == SizeF{300, 200} &&
               look.PixelAt(window->XWindow(), 290, 190) == light;
    }));
}

TEST(WindowTest, TabAndShiftTabMoveTheFocusAndWrap) {
    auto row = std::make_unique<Stack>(Orientation::Horizontal, 8);
    std::vector<Probe*> probes;
    for (int i = 0; i < 3; ++i)
        probes.push_back(row->Add(std::make_unique<Probe>()));
    auto window =
        OpenWindow(std::move(row), LightTheme(kDefaultAccent), Options(u"Tabs", 300, 100));
    ASSERT_NE(window, nullptr);
    const auto focusedIndex = [&] {
        for (std::size_t i = 0; i < probes.size(); ++i)
            if (window->Focused() == probes[i])
                return static_cast<int>(i);
        return -1;
    };
    struct Step {
        const char* keys;
        int focused;
    };
    // Nothing is focused at first: Tab takes the first stop.
    const Step steps[] = {{"Tab", 0}, {"Tab", 1},       {"Tab", 2},
                          {"Tab", 0}, {"shift+Tab", 2}, {"shift+Tab", 1}};
    for (const Step& step : steps) {
        Driver driver([&] { Command({"xdotool", "key", step.keys}); });
        EXPECT_TRUE(PumpUntil([&] { return driver.Done() && focusedIndex() == step.focused; }))
            << step.keys << " should focus " << step.focused << ", focused " << focusedIndex();
    }
    EXPECT_TRUE(window->FocusVisualShown());
    // The focused widget saw the key before the window moved the focus on.
    EXPECT_FALSE(probes[1]->keys.empty());
    EXPECT_EQ(probes[1]->keys.front(), kKeyTab);
}

TEST(WindowTest, TypedTextReachesTheFocusedWidget) {
    auto root = std::make_unique<Stack>();
    Probe* probe = root->Add(std::make_unique<Probe>());
    auto window =
        OpenWindow(std::move(root), LightTheme(kDefaultAccent), Options(u"Type", 200, 100));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->SetFocus(probe, false));
    // The syllables on keys of their own first: xdotool would otherwise
    // remap one spare keycode between keystrokes, and under load the window
    // reads the map after it changed again and loses a syllable.
    ASSERT_EQ(GuiEnvironment::X()
                  .Run({"xmodmap", "-e", "keycode any = UD55C", "-e", "keycode any = UAE00"})
                  .status,
              0);
    const std::u16string expected = u"Hi, 한글!";
    Driver driver([&] { Command({"xdotool", "type", "--delay", "30", "Hi, 한글!"}); });
    EXPECT_TRUE(PumpUntil([&] { return driver.Done() && probe->text == expected; }))
        << "got " << probe->text.size() << " units";
    // Letters typed with Shift are characters, not access keys.
    EXPECT_EQ(probe->imeKinds.size(), 0u);
}

TEST(WindowTest, ADpiOf192DoublesThePixelSizeOfAWidget) {
    ASSERT_TRUE(GuiEnvironment::X().MergeResources("Xft.dpi: 192"));
    XLook look;
    auto root = std::make_unique<Stack>();
    Probe* probe = root->Add(std::make_unique<Probe>(50, 30));
    probe->SetHorizontalAlignment(Alignment::Start);
    probe->SetFill(kProbeFill);
    auto window =
        OpenWindow(std::move(root), LightTheme(kDefaultAccent), Options(u"Dpi", 200, 100));
    ASSERT_TRUE(GuiEnvironment::X().MergeResources("Xft.dpi: 96"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Dpi(), 192.0f);
    EXPECT_EQ(window->ClientSize(), (SizeF{200, 100}));
    const ScreenBounds bounds = window->ClientScreenBounds();
    EXPECT_EQ(bounds.width, 400);
    EXPECT_EQ(bounds.height, 200);
    int width = 0;
    int height = 0;
    std::optional<std::vector<XLook::Rgb>> pixels;
    const XLook::Rgb fill = ToRgb(kProbeFill);
    EXPECT_TRUE(PumpUntil([&] {
        pixels = look.Pixels(window->XWindow(), width, height);
        return pixels && height > 60 && CountPixels(*pixels, width, 30, fill) == 100;
    }));
    ASSERT_TRUE(pixels);
    // 30 DIPs tall: rows 0 to 59 are the probe's, row 60 is not.
    EXPECT_EQ(CountPixels(*pixels, width, 59, fill), 100);
    EXPECT_EQ(CountPixels(*pixels, width, 60, fill), 0);

    // A window made after the setting went back to 96 is at 100 %.
    Window plain;
    ASSERT_TRUE(plain.Create(Options(u"Plain", 200, 100)));
    EXPECT_EQ(plain.Dpi(), 96.0f);
}

// The frame's left, right, top and bottom as the window manager states
// them; none until it has framed the window.
std::optional<std::array<int, 4>> FrameExtents(unsigned long window) {
    const std::string out = Command({"xprop", "-id", std::to_string(window), "_NET_FRAME_EXTENTS"});
    std::array<int, 4> extents{};
    if (std::sscanf(out.c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d", &extents[0],
                    &extents[1], &extents[2], &extents[3]) != 4)
        return std::nullopt;
    return extents;
}

// At any scale, and with a size kept from a larger screen, a window and its
// frame open inside the work area (the test screen is 1280 x 800); one that
// fits keeps its size.
TEST(WindowTest, AWindowTooLargeForTheScreenIsFittedToIt) {
    struct Case {
        const char* name;
        const char* dpi;
        WindowOptions options;
        int width; // the client width it opens with; 0: fitted
    };
    WindowOptions kept = Options(u"Kept", 200, 100);
    kept.hasBounds = true;
    kept.boundsX = 900;
    kept.boundsY = 600;
    kept.boundsWidth = 2400;
    kept.boundsHeight = 1500;
    WindowOptions large = Options(u"Large", 940, 680);
    large.minWidth = 640;
    large.minHeight = 480;
    const Case cases[] = {
        {"940 x 680 at 100 %", "96", large, 940},
        {"940 x 680 at 200 %", "192", large, 0},
        {"a kept size of 2400 x 1500", "96", kept, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(GuiEnvironment::X().MergeResources(std::string("Xft.dpi: ") + c.dpi));
        auto window = OpenWindow(std::make_unique<Stack>(), LightTheme(kDefaultAccent), c.options);
        ASSERT_NE(window, nullptr);
        std::optional<std::array<int, 4>> frame;
        ScreenBounds client;
        const auto inside = [&] {
            frame = FrameExtents(window->XWindow());
            client = window->ClientScreenBounds();
            return frame && client.x - (*frame)[0] >= 0 && client.y - (*frame)[2] >= 0 &&
                   client.Right() + (*frame)[1] <= 1280 && client.Bottom() + (*frame)[3] <= 800;
        };
        EXPECT_TRUE(PumpUntil(inside))
            << client.x << "," << client.y << " " << client.width << " x " << client.height;
        if (c.width > 0) {
            EXPECT_EQ(client.width, c.width);
        }
        // Still large: fitted, not shrunk to nothing.
        EXPECT_GE(client.width, 900);
        EXPECT_GE(client.height, 600);
    }
    ASSERT_TRUE(GuiEnvironment::X().MergeResources("Xft.dpi: 96"));
}

TEST(WindowTest, SetsItsClassTitleAndFrameFunctions) {
    WindowOptions options = Options(u"Props 한", 200, 100);
    options.resizable = false;
    options.minimizable = false;
    options.resName = "veltocorvane";
    options.resClass = "VeltoCorvane";
    Window window;
    ASSERT_TRUE(window.Create(options));
    const std::string id = std::to_string(window.XWindow());
    EXPECT_EQ(Command({"xprop", "-id", id, "WM_CLASS"}),
              "WM_CLASS(STRING) = \"veltocorvane\", \"VeltoCorvane\"");
    EXPECT_NE(Command({"xprop", "-id", id, "_NET_WM_NAME"}).find("Props 한"), std::string::npos);
    // Move and close only: flags (functions, decorations), functions, decorations.
    EXPECT_EQ(Command({"xprop", "-id", id, "_MOTIF_WM_HINTS"}),
              "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0x1, 0x0, 0x0");
}

TEST(WindowTest, TheCloseHookDecidesAboutTheCloseBox) {
    XLook look;
    auto window = OpenWindow(std::make_unique<Stack>(), LightTheme(kDefaultAccent),
                             Options(u"Close", 160, 100));
    ASSERT_NE(window, nullptr);
    int asked = 0;
    bool allow = false;
    bool destroyed = false;
    window->SetCloseHook([&] {
        ++asked;
        return allow;
    });
    window->SetOnDestroyed([&] { destroyed = true; });
    look.SendDeleteWindow(window->XWindow());
    ASSERT_TRUE(PumpUntil([&] { return asked == 1; }));
    EXPECT_TRUE(window->IsCreated());
    allow = true;
    look.SendDeleteWindow(window->XWindow());
    EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
    EXPECT_FALSE(window->IsCreated());
}

} // namespace
} // namespace Velto::Widget::Testing
