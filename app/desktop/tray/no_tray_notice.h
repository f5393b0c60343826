#pragma once

#include "app/texts/ui_language.h"

#include <string_view>

namespace App {

// The one-time notice when the window was closed while the server runs on a
// desktop that shows no notification-area icons: the window was minimised
// instead, and how to end the program from there.
std::u16string_view NoTrayNoticeText(UiLanguage language);

} // namespace App
