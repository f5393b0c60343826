#pragma once

#include "widget/dialogs/picker_request.h"

#include <optional>
#include <string>

namespace Velto::Widget {
class Window;
} // namespace Velto::Widget

namespace Velto::Widget::Kit {

// The last way of asking, when the desktop offers no picker: a dialog of
// the toolkit where the path is typed and checked before it is taken. It
// runs on the UI thread; asked from another thread, it hands the dialog to
// the UI loop and waits. Unavailable when the toolkit has no display.
PickOutcome PickWithTypedPath(const PickRequest& request);

// The dialog itself, on the UI thread, over `owner` (none: centred on the
// work area): the path of one item that passed the request's checks, or
// none when cancelled.
std::optional<std::string> AskTypedPath(Window* owner, const PickRequest& request);

} // namespace Velto::Widget::Kit
