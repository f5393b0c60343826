#pragma once

#include "app/ui_language.h"
#include "config/config.h"

#include <string>

namespace Velto::Widget {
class Window;
}

namespace App {

// The modal dialogs of the window, owned by `owner` (none: centred on the
// screen). Each returns once the dialog is closed.

// Edits a shared folder or file; true when the user confirmed, and only then
// is `share` changed.
bool EditShareDialog(Velto::Widget::Window* owner, const Velto::Corvane::Config& config,
                     Velto::Corvane::Share& share, bool isNew, UiLanguage language);

// Edits an account and its rights on every share; true when confirmed.
bool EditAccountDialog(Velto::Widget::Window* owner, const Velto::Corvane::Config& config,
                       Velto::Corvane::Account& account, bool isNew, UiLanguage language);

// Shows the address as a QR code.
void ShowQrDialog(Velto::Widget::Window* owner, const std::u16string& address, UiLanguage language);

} // namespace App
