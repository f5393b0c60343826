#pragma once

#include "widget/core/events.h"

namespace Velto::Widget {

// Shows the system pointer shape for a widget's cursor on the window under
// the pointer. The SDL cursors are made once and kept for the process.
void ShowSystemCursor(CursorShape shape);

} // namespace Velto::Widget
