#pragma once

#include "app/texts/ui_language.h"

#include <string>

namespace Velto::Widget {
class Window;
}

namespace App {

// The QR dialog's window, owned by `owner` (none: centred on the screen):
// shows the address as a QR code and returns once it is closed.
void ShowQrDialog(Velto::Widget::Window* owner, const std::u16string& address, UiLanguage language);

} // namespace App
