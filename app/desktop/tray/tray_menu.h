#pragma once

#include "app/texts/ui_language.h"
#include "widget/menu/menu_item.h"

#include <cstdint>
#include <vector>

namespace App {

// The tray menu's commands, by the identifiers its items carry.
enum TrayCommand : std::uint32_t {
    kTrayOpen = 1,
    kTrayToggleServer = 2,
    kTrayCopyAddress = 3,
    kTrayExit = 4,
};

struct TrayMenuState {
    bool running{false};
    // The server runs and has at least one address to copy.
    bool hasAddress{false};
};

// Open, Start or Stop server, Copy address (only with an address), a
// separator and Exit, in the language given. The items carry no commands;
// the program attaches them.
std::vector<Velto::Widget::MenuItem> BuildTrayMenu(TrayMenuState state, UiLanguage language);

} // namespace App
