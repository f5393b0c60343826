// Popups and tooltips over a window on a private X server with a window
// manager: they appear without taking the keyboard from their owner and close
// on a press outside them; a dialog with a popup open is saved as a picture
// for a reviewer to look at.
#include "tests/widget/window/gui_rig.h"
#include "widget/core/stack.h"
#include "widget/render/theme.h"
#include "widget/window/dialog.h"
#include "widget/window/popup.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr Color kPopupFill = Color::FromRgb8(30, 140, 60);

std::unique_ptr<Window> OpenOwner(std::unique_ptr<Widget> root, float width, float height) {
    auto window = std::make_unique<Window>();
    if (!window->Create(Options(u"Owner", width, height)))
        return nullptr;
    window->SetThemeSource([] { return LightTheme(kDefaultAccent); });
    window->SetRoot(std::move(root));
    window->Show();
    if (!PumpUntil([&] { return window->IsShown() && window->IsActive(); }))
        return nullptr;
    return window;
}

// A popup over the owner filled with one colour, shown below its top-left
// corner.
std::unique_ptr<Popup> ShowPopup(Window& owner, int dx, int dy) {
    auto popup = std::make_unique<Popup>();
    if (!popup->CreateFor(owner))
        return nullptr;
    auto fill = std::make_unique<Probe>(120, 60);
    fill->SetFill(kPopupFill);
    popup->SetRoot(std::move(fill));
    const ScreenBounds at = owner.ClientScreenBounds();
    popup->ShowAt(ScreenBounds{at.x + dx, at.y + dy, 120, 60});
    return popup;
}

// The whole screen as a PNG file.
bool SaveScreen(const std::filesystem::path& path) {
    XLook look;
    ::Display* display = look.Get();
    const ::Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    if (display == nullptr || XGetWindowAttributes(display, root, &attributes) == 0)
        return false;
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    bool saved = false;
    // A 24-bit screen comes as 32-bit little-endian pixels, which is Cairo's
    // RGB24.
    if (image->bits_per_pixel == 32) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(image->data), CAIRO_FORMAT_RGB24, image->width,
            image->height, image->bytes_per_line);
        saved = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
    }
    XDestroyImage(image);
    return saved;
}

TEST(PopupTest, OpensWithoutTakingTheFocusAndClosesOnAPressOutside) {
    auto root = std::make_unique<Stack>();
    Probe* probe = root->Add(std::make_unique<Probe>(300, 200));
    auto owner = OpenOwner(std::move(root), 300, 200);
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(owner->SetFocus(probe, false));
    const unsigned long focusBefore = FocusedXWindow();
    ASSERT_EQ(focusBefore, owner->XWindow());

    auto popup = ShowPopup(*owner, 20, 20);
    ASSERT_NE(popup, nullptr);
    int dismissed = 0;
    popup->SetOnDismissed([&] { ++dismissed; });
    XLook look;
    const XLook::Rgb green = ToRgb(kPopupFill);
    ASSERT_TRUE(PumpUntil([&] { return look.PixelAt(popup->XWindow(), 60, 30) == green; }));
    EXPECT_TRUE(look.IsOverrideRedirect(popup->XWindow()));
    EXPECT_EQ(FocusedXWindow(), focusBefore) << "the popup took the keyboard";
    EXPECT_TRUE(owner->IsActive());

    // Keys still go to the owner's focused widget.
    {
        Driver driver([] { Command({"xdotool", "type", "ok"}); });
        EXPECT_TRUE(PumpUntil([&] { return driver.Done() && probe->text == u"ok"; }));
    }

    // A press far outside the popup (and outside the owner) closes it; the
    // press is the popup's and never reaches the owner.
    const int pressesBefore = probe->presses;
    {
        Driver driver([] { Command({"xdotool", "mousemove", "1200", "760", "click", "1"}); });
        EXPECT_TRUE(PumpUntil([&] { return driver.Done() && !popup->IsShown(); }));
    }
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(look.IsOnScreen(popup->XWindow()));
    EXPECT_EQ(probe->presses, pressesBefore);
}

TEST(PopupTest, ATooltipAppearsOverAHoveredWidgetAndGoesOnAPress) {
    auto root = std::make_unique<Stack>();
    Probe* probe = root->Add(std::make_unique<Probe>(200, 120));
    probe->SetTooltip(u"A helpful tip");
    auto owner = OpenOwner(std::move(root), 200, 120);
    ASSERT_NE(owner, nullptr);
    InstallTooltips(*owner);
    const unsigned long focusBefore = FocusedXWindow();
    const auto shownPopup = [] {
        for (Window* window : Application::Instance().Windows())
            if (window->IsPopup() && window->IsShown())
                return window;
        return static_cast<Window*>(nullptr);
    };
    const ScreenBounds at = owner->ClientScreenBounds();
    {
        Driver driver([&] {
            Command({"xdotool", "mousemove", std::to_string(at.x + 50), std::to_string(at.y + 40)});
            Command({"xdotool", "mousemove_relative", "--", "2", "1"});
        });
        ASSERT_TRUE(PumpUntil([&] { return driver.Done() && shownPopup() != nullptr; }));
    }
    EXPECT_EQ(FocusedXWindow(), focusBefore);
    {
        Driver driver([] { Command({"xdotool", "click", "1"}); });
        EXPECT_TRUE(PumpUntil([&] { return driver.Done() && shownPopup() == nullptr; }));
    }
    EXPECT_EQ(probe->presses, 1);
}

// A menu or list opening over a shown tooltip hides it, and no tooltip
// comes up while the menu stays open.
TEST(PopupTest, AMenuOpeningHidesTheTooltip) {
    auto root = std::make_unique<Stack>();
    Probe* probe = root->Add(std::make_unique<Probe>(200, 120));
    probe->SetTooltip(u"Where visitors connect from");
    auto owner = OpenOwner(std::move(root), 200, 120);
    ASSERT_NE(owner, nullptr);
    InstallTooltips(*owner);
    const auto tipShown = [&] {
        for (Window* window : Application::Instance().Windows())
            if (window->IsPopup() && window->IsShown() && !window->ClosesOnOutsideClick())
                return true;
        return false;
    };
    const ScreenBounds at = owner->ClientScreenBounds();
    const auto hover = [&](int x, int y) {
        // In from outside the window: a window made under a resting pointer
        // may never hear that the pointer is in it.
        Driver driver([&] {
            Command({"xdotool", "mousemove", "1200", "760"});
            Command({"xdotool", "mousemove", std::to_string(at.x + x), std::to_string(at.y + y)});
            Command({"xdotool", "mousemove_relative", "--", "2", "1"});
        });
        return PumpUntil([&] { return driver.Done() && tipShown(); });
    };
    ASSERT_TRUE(hover(50, 40)) << "no tooltip to begin with";
    auto menu = ShowPopup(*owner, 10, 10);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return !tipShown(); })) << "the tooltip stayed over the menu";
    EXPECT_FALSE(owner->TooltipShown());
    // Nothing brings it back while the menu is open: not the time, nor
    // the tip armed again by the owner.
    owner->ArmTooltip(probe);
    PumpFor(1.2);
    EXPECT_FALSE(tipShown());
    EXPECT_TRUE(menu->IsShown());
}

// A window with a modal dialog and a popup over the dialog, saved to
// shots/window_dialog_popup.png beside the test for a reviewer.
TEST(PopupTest, AWindowWithADialogAndAPopupOpen) {
    auto owner = OpenOwner(std::make_unique<Probe>(480, 320), 480, 320);
    ASSERT_NE(owner, nullptr);
    Dialog dialog(320);
    dialog.Content().Add(std::make_unique<Probe>(280, 80));
    std::unique_ptr<Popup> popup;
    bool saved = false;
    Application::Instance().Post([&] {
        // Runs inside the dialog's modal loop once it is up.
        const bool up = PumpUntil([&] { return dialog.IsShown() && dialog.IsActive(); });
        if (up)
            popup = ShowPopup(dialog, 40, 40);
        XLook look;
        const bool drawn = popup != nullptr && PumpUntil([&] {
                               return look.PixelAt(popup->XWindow(), 60, 30) == ToRgb(kPopupFill);
                           });
        EXPECT_TRUE(drawn);
        EXPECT_EQ(FocusedXWindow(), dialog.XWindow());
        std::filesystem::create_directories("shots");
        saved = SaveScreen("shots/window_dialog_popup.png");
        popup.reset();
        dialog.EndDialog(3);
    });
    EXPECT_EQ(dialog.ShowModal(owner.get(), u"Dialog with a popup"), 3);
    EXPECT_TRUE(saved);
}

} // namespace
} // namespace Velto::Widget::Testing
