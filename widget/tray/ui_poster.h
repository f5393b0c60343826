#pragma once

#include <functional>

namespace Velto::Widget::Kit {

// Hands a task to the UI thread (the program passes Application::Post). The
// kit's listener and bus threads never touch the program's objects
// themselves: they post, and the task runs in the UI thread's loop.
using UiTask = std::function<void()>;
using UiPoster = std::function<void(UiTask)>;

} // namespace Velto::Widget::Kit
