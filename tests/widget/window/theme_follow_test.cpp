// A window that follows the colour choice on a private X server and session
// bus with a stand-in desktop portal: it takes the desktop's colour scheme,
// repaints when the desktop switches while it runs, and keeps a forced
// choice.
#include "tests/widget/desktop/peer_process.h"
#include "tests/widget/window/gui_rig.h"
#include "widget/core/stack.h"
#include "widget/render/theme.h"
#include "widget/window/theme_choice.h"

#include <gtest/gtest.h>

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr std::uint32_t kPrefersDark = 1;
constexpr std::uint32_t kPrefersLight = 2;

// Asks the stand-in portal to switch the desktop's colour scheme.
bool ChangeDesktopScheme(std::uint32_t scheme) {
    return GuiEnvironment::X()
               .Run({"dbus-send", "--session", "--print-reply",
                     "--dest=org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                     "org.velto.TestAppearance.Change", "uint32:" + std::to_string(scheme)})
               .status == 0;
}

TEST(ThemeFollowTest, TheWindowFollowsTheDesktopWhileRunningAndKeepsAForcedChoice) {
    Kit::Testing::PeerProcess portal;
    ASSERT_TRUE(portal.Start({"/usr/bin/python3",
                              std::string(VELTO_WINDOW_TEST_DIR) + "/appearance_portal.py",
                              std::to_string(kPrefersLight)}));
    ASSERT_TRUE(PumpUntil([] { return Application::Instance().IsWatchingAppearance(); }));

    Window window;
    ASSERT_TRUE(window.Create(Options(u"Follow", 200, 120)));
    Kit::SetThemeChoice(Kit::ThemeChoice::System);
    Kit::FollowThemeChoice(window, {});
    window.SetRoot(std::make_unique<Stack>());
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return window.IsShown(); }));

    XLook look;
    const auto background = [&] { return look.PixelAt(window.XWindow(), 100, 60); };
    const XLook::Rgb light = ToRgb(LightTheme(kDefaultAccent).windowBackground);
    const XLook::Rgb dark = ToRgb(DarkTheme(kDefaultAccent).windowBackground);
    EXPECT_TRUE(PumpUntil([&] { return background() == light; }));

    ASSERT_TRUE(ChangeDesktopScheme(kPrefersDark));
    EXPECT_TRUE(PumpUntil([&] { return background() == dark; }))
        << "the window did not follow the desktop to dark";

    Kit::SetThemeChoice(Kit::ThemeChoice::Light);
    EXPECT_TRUE(PumpUntil([&] { return background() == light; }));
    // A forced choice stays when the desktop switches again.
    ASSERT_TRUE(ChangeDesktopScheme(kPrefersLight));
    ASSERT_TRUE(ChangeDesktopScheme(kPrefersDark));
    PumpFor(0.5);
    EXPECT_EQ(background(), light);

    Kit::SetThemeChoice(Kit::ThemeChoice::System);
    EXPECT_TRUE(PumpUntil([&] { return background() == dark; }));
}

} // namespace
} // namespace Velto::Widget::Testing
