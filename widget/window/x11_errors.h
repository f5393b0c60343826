#pragma once

namespace Velto::Widget::X11 {

// Xlib's default error handler ends the process on any protocol error. The
// X server answers asynchronously, so a request about a window that another
// thread has just destroyed (SDL wakes its event loop by sending an event to
// one of the program's windows) fails with BadWindow through no fault of the
// program. This installs, once per process, a handler that ignores errors
// about windows and drawables that are gone and reports the others on
// standard error, leaving the program running.
void TolerateProtocolErrors();

} // namespace Velto::Widget::X11
