#pragma once

#include "app/texts/ui_language.h"
#include "config/config.h"

namespace Velto::Widget {
class Window;
}

namespace App {

// The share dialog's window, owned by `owner` (none: centred on the screen):
// edits a shared folder or file and returns once it is closed; true when the
// user confirmed, and only then is `share` changed.
bool EditShareDialog(Velto::Widget::Window* owner, const Velto::Corvane::Config& config,
                     Velto::Corvane::Share& share, bool isNew, UiLanguage language);

} // namespace App
