#pragma once

#include "app/texts/ui_language.h"
#include "config/config.h"

namespace Velto::Widget {
class Window;
}

namespace App {

// The account dialog's window, owned by `owner` (none: centred on the
// screen): edits an account and its rights on every share and returns once
// it is closed; true when confirmed, and only then is `account` changed.
bool EditAccountDialog(Velto::Widget::Window* owner, const Velto::Corvane::Config& config,
                       Velto::Corvane::Account& account, bool isNew, UiLanguage language);

} // namespace App
