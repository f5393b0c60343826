#pragma once

#include <functional>

namespace Velto::Widget::Kit {

// Hands a task to the UI thread (the program passes Application::Post). The
// tray's bus thread never touches the program's objects itself: it posts,
// and the task runs in the UI thread's loop.
using UiTask = std::function<void()>;
using UiPoster = std::function<void(UiTask)>;

} // namespace Velto::Widget::Kit
