#pragma once

#include "app/texts/ui_language.h"

#include <string_view>

namespace App {

// What became of the window closed while the server runs on a desktop that
// shows no notification-area icons.
enum class NoTrayWindow {
    Minimized, // a task bar brings it back
    KeptOpen,  // nothing would show a minimised window
};

// The notice then: where the window is, how to get it back and how to end
// the program from there.
std::u16string_view NoTrayNoticeText(UiLanguage language, NoTrayWindow window);

} // namespace App
