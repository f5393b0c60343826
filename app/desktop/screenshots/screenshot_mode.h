#pragma once

#include "app/texts/ui_language.h"
#include "widget/window/theme_choice.h"

#include <cstddef>
#include <functional>
#include <string>

namespace Velto::Corvane {
class CorvaneService;
}

namespace App {

class DesktopWindow;
class DialogShots;

// The screenshot mode (VELTO_CORVANE_SHOTS): the started program, without
// showing its window, renders its pages into PNG files — each in Korean and
// English, light and dark — and opens its dialogs, which the dialog hook
// captures and cancels. No display is needed.
class ScreenshotMode {
public:
    static constexpr float kPageWidth = 940;
    static constexpr float kPageHeight = 680;
    static constexpr float kSettingsHeight = 1100;
    static constexpr float kNarrowWidth = 640;

    struct Hooks {
        // Switches the program's texts to the language and rebuilds the
        // main window in it.
        std::function<void(UiLanguage)> switchLanguage;
    };

    ScreenshotMode(DesktopWindow& window, Velto::Corvane::CorvaneService& service,
                   const DialogShots& dialogs, Hooks hooks);

    // Captures everything into the dialog hook's folder; the number of
    // captures (pages and dialogs) that failed. Ends in Korean on the home
    // page.
    std::size_t Run();

private:
    void CaptureLanguage(UiLanguage language);
    void CapturePage(const std::string& name, float width, float height, UiLanguage language);
    void OpenDialogs(UiLanguage language);
    // Runs one dialog opener and counts it failed unless the hook saved it.
    void ExpectDialog(const std::function<void()>& open);

    DesktopWindow& m_window;
    Velto::Corvane::CorvaneService& m_service;
    const DialogShots& m_dialogs;
    Hooks m_hooks;
    // The program's own colour choice, which dialogs are shown in.
    Velto::Widget::Kit::ThemeChoice m_chosenTheme{Velto::Widget::Kit::ThemeChoice::System};
    std::size_t m_failures{0};
};

} // namespace App
