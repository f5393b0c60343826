#include "widget/window/x11_errors.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <mutex>

namespace Velto::Widget::X11 {
namespace {

int OnProtocolError(::Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
    char text[160] = {};
    ::XGetErrorText(display, error->error_code, text, sizeof(text));
    std::fprintf(stderr, "X error: %s (request %u.%u, resource 0x%lx)\n", text,
                 static_cast<unsigned>(error->request_code),
                 static_cast<unsigned>(error->minor_code), error->resourceid);
    return 0;
}

} // namespace

void TolerateProtocolErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] { ::XSetErrorHandler(&OnProtocolError); });
}

} // namespace Velto::Widget::X11
