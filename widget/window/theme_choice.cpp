#include "widget/window/theme_choice.h"

#include "widget/render/system_theme.h"
#include "widget/window/application.h"
#include "widget/window/window.h"

#include <atomic>

namespace Velto::Widget::Kit {
namespace {

std::atomic<ThemeChoice>& Choice() {
    static std::atomic<ThemeChoice> choice{ThemeChoice::System};
    return choice;
}

} // namespace

ThemeChoice CurrentThemeChoice() {
    return Choice().load();
}

void SetThemeChoice(ThemeChoice choice) {
    Choice().store(choice);
    Application::Instance().RefreshThemes();
}

Theme ThemeForChoice(ThemeChoice choice) {
    const SystemAppearance appearance = ReadSystemAppearance();
    if (appearance.highContrast.value_or(false))
        return ThemeFromAppearance(appearance);
    const Color accent = appearance.accent.value_or(kDefaultAccent);
    switch (choice) {
    case ThemeChoice::Light:
        return LightTheme(accent);
    case ThemeChoice::Dark:
        return DarkTheme(accent);
    case ThemeChoice::System:
        break;
    }
    return ThemeFromAppearance(appearance);
}

void FollowThemeChoice(Window& window, ThemeCustomiser customise) {
    window.SetThemeSource([customise = std::move(customise)] {
        Theme theme = ThemeForChoice(CurrentThemeChoice());
        if (customise)
            customise(theme);
        return theme;
    });
}

} // namespace Velto::Widget::Kit
