#pragma once

#include "widget/dialogs/picker_request.h"

namespace Velto::Widget::Kit {

// Asks through the desktop portal's FileChooser (org.freedesktop.portal
// .FileChooser OpenFile) on the session bus and waits for its Response on
// the request's handle. Unavailable when there is no bus or no portal that
// takes the call; Cancelled when the user closes the dialog or the portal
// goes away while it is open.
PickOutcome PickWithPortal(const PickRequest& request);

} // namespace Velto::Widget::Kit
