#pragma once

#include "app/texts/ui_language.h"

#include <functional>
#include <optional>
#include <string>

namespace App {

class ServiceCommands;
class ShareActions;
struct WindowServices;

// What a page may use of the window around it: the service through the
// window's commands, the share actions, the window's dialogs, questions,
// pickers and shell actions, the UI language, and the few window-wide
// actions a page starts. The window owns it and outlives the pages it shows;
// a page keeps nothing of it past its own life.
struct PageContext {
    UiLanguage language{UiLanguage::Korean};
    ServiceCommands& commands;
    ShareActions& shares;
    const WindowServices& services;
    // Runs a task on the UI thread after the current widget callback has
    // returned: actions that rebuild the page must not destroy the widget
    // whose callback runs.
    std::function<void(std::function<void()>)> post;
    // The window's server switch: starts a stopped server, stops a running one.
    std::function<void()> toggleServer;
    // Settings were applied: the window reads the status again and tells the
    // program, which keeps the tray in step.
    std::function<void()> settingsApplied;
    // The language or the colour choice changed; the program builds its
    // windows in the new look.
    std::function<void()> lookChanged;
    // The address the home page shows for the window's choice of scope
    // (empty while the server is off): links are handed out under it.
    std::function<std::u16string()> shownAddress;

    // What the settings page hands to the one built after it when its Apply
    // rebuilt the window: where it was scrolled to and the outcome to show.
    struct SettingsOutcome {
        float scrollY{0};
        bool saved{false};
    };
    std::optional<SettingsOutcome> settingsOutcome;
};

} // namespace App
