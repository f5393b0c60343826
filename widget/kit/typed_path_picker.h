#pragma once

#include "widget/kit/picker_request.h"

namespace Velto::Widget::Kit {

// The last way of asking, when the desktop offers none: a dialog of the
// toolkit where the path is typed. It needs the text box, which the
// controls do not have yet; until then it logs that no picker is available
// and reports Unavailable.
PickOutcome PickWithTypedPath(const PickRequest& request);

} // namespace Velto::Widget::Kit
