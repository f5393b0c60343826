#include "widget/window/x11_window.h"

#include "widget/window/x_resources.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cstring>
#include <string>

namespace Velto::Widget::X11 {
namespace {

struct Handles {
    ::Display* display{nullptr};
    ::Window window{0};
};

std::optional<Handles> HandlesOf(SDL_Window* window) {
    if (window == nullptr)
        return std::nullopt;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return std::nullopt;
    return Handles{info.info.x11.display, info.info.x11.window};
}

// _MOTIF_WM_HINTS, as the Motif window manager defined it.
struct MotifHints {
    unsigned long flags{0};
    unsigned long functions{0};
    unsigned long decorations{0};
    long inputMode{0};
    unsigned long status{0};
};
constexpr unsigned long kMwmHintsFunctions = 1ul << 0;
constexpr unsigned long kMwmHintsDecorations = 1ul << 1;
constexpr unsigned long kMwmFuncResize = 1ul << 1;
constexpr unsigned long kMwmFuncMove = 1ul << 2;
constexpr unsigned long kMwmFuncMinimize = 1ul << 3;
constexpr unsigned long kMwmFuncMaximize = 1ul << 4;
constexpr unsigned long kMwmFuncClose = 1ul << 5;
constexpr unsigned long kMwmDecorAll = 1ul << 0;
constexpr int kMotifHintsLongs = 5;

// _NET_ACTIVE_WINDOW's source indication: a normal application.
constexpr long kSourceApplication = 1;
// The resource string is short; a larger one is read in full anyway.
constexpr long kResourceLongs = 1l << 20;

// Waits for the server to answer everything sent so far, so that a window
// just mapped really is on the screen before the caller goes on.
void Sync(const Handles& handles) {
    ::XSync(handles.display, False);
}

} // namespace

unsigned long XWindowOf(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    return handles ? handles->window : 0;
}

void SetClassHint(SDL_Window* window, const std::string& resName, const std::string& resClass) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    std::string name = resName;
    std::string cls = resClass;
    XClassHint hint;
    hint.res_name = name.data();
    hint.res_class = cls.data();
    ::XSetClassHint(handles->display, handles->window, &hint);
    ::XFlush(handles->display);
}

void SetFrameFunctions(SDL_Window* window, const FrameFunctions& functions) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    MotifHints hints;
    hints.flags = kMwmHintsFunctions | kMwmHintsDecorations;
    hints.functions = kMwmFuncMove | kMwmFuncClose;
    if (functions.resizable)
        hints.functions |= kMwmFuncResize;
    if (functions.minimizable)
        hints.functions |= kMwmFuncMinimize;
    if (functions.maximizable && functions.resizable)
        hints.functions |= kMwmFuncMaximize;
    hints.decorations = functions.decorated ? kMwmDecorAll : 0;
    const Atom atom = ::XInternAtom(handles->display, "_MOTIF_WM_HINTS", False);
    ::XChangeProperty(handles->display, handles->window, atom, atom, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&hints), kMotifHintsLongs);
    ::XFlush(handles->display);
}

void SetOverrideRedirect(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    ::XChangeWindowAttributes(handles->display, handles->window, CWOverrideRedirect, &attributes);
    ::XFlush(handles->display);
}

void MapRaised(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    ::XMapRaised(handles->display, handles->window);
    Sync(*handles);
}

void Unmap(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    ::XUnmapWindow(handles->display, handles->window);
    Sync(*handles);
}

void MoveResize(SDL_Window* window, const ScreenBounds& bounds) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles || bounds.IsEmpty())
        return;
    ::XMoveResizeWindow(handles->display, handles->window, bounds.x, bounds.y,
                        static_cast<unsigned>(bounds.width), static_cast<unsigned>(bounds.height));
    ::XFlush(handles->display);
}

bool MoveClientTo(SDL_Window* window, int x, int y) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return false;
    XSizeHints* hints = ::XAllocSizeHints();
    if (hints == nullptr)
        return false;
    long supplied = 0;
    ::XGetWMNormalHints(handles->display, handles->window, hints, &supplied);
    hints->flags |= PWinGravity | USPosition;
    hints->win_gravity = StaticGravity;
    ::XSetWMNormalHints(handles->display, handles->window, hints);
    ::XFree(hints);
    ::XMoveWindow(handles->display, handles->window, x, y);
    ::XFlush(handles->display);
    return true;
}

void SetNoFocusOnMap(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    const Atom atom = ::XInternAtom(handles->display, "_NET_WM_USER_TIME", False);
    const long zero = 0;
    ::XChangeProperty(handles->display, handles->window, atom, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&zero), 1);
    ::XFlush(handles->display);
}

void RequestActivation(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = handles->window;
    event.xclient.message_type = ::XInternAtom(handles->display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = kSourceApplication;
    event.xclient.data.l[1] = CurrentTime;
    const ::Window root = DefaultRootWindow(handles->display);
    ::XSendEvent(handles->display, root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                 &event);
    ::XRaiseWindow(handles->display, handles->window);
    ::XFlush(handles->display);
}

void SetTransientFor(SDL_Window* window, SDL_Window* owner) {
    const std::optional<Handles> handles = HandlesOf(window);
    const std::optional<Handles> ownerHandles = HandlesOf(owner);
    if (!handles || !ownerHandles)
        return;
    ::XSetTransientForHint(handles->display, handles->window, ownerHandles->window);
    ::XFlush(handles->display);
}

void SetDialogType(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    const Atom property = ::XInternAtom(handles->display, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog = ::XInternAtom(handles->display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    ::XChangeProperty(handles->display, handles->window, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&dialog), 1);
    ::XFlush(handles->display);
}

std::optional<float> ReadXftDpi(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return std::nullopt;
    // XResourceManagerString keeps what was there when the display was
    // opened; the property itself follows xrdb and the desktop's settings.
    const Atom atom = ::XInternAtom(handles->display, "RESOURCE_MANAGER", True);
    if (atom == None)
        return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = ::XGetWindowProperty(handles->display, DefaultRootWindow(handles->display),
                                            atom, 0, kResourceLongs, False, XA_STRING, &type,
                                            &format, &count, &after, &data);
    if (status != Success || data == nullptr)
        return std::nullopt;
    std::optional<float> dpi;
    if (type == XA_STRING && format == 8)
        dpi = XftDpiFromResources(std::string_view(reinterpret_cast<const char*>(data), count));
    ::XFree(data);
    return dpi;
}

bool GrabPointer(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return false;
    // owner_events: presses on our own windows arrive there as usual; the
    // rest of the screen reports to the grabbing window.
    const unsigned int mask =
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    const int status = ::XGrabPointer(handles->display, handles->window, True, mask, GrabModeAsync,
                                      GrabModeAsync, None, None, CurrentTime);
    ::XFlush(handles->display);
    return status == GrabSuccess;
}

void UngrabPointer(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return;
    ::XUngrabPointer(handles->display, CurrentTime);
    ::XFlush(handles->display);
}

std::optional<ScreenPress> ButtonPressOf(const SDL_Event& event) {
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr ||
        event.syswm.msg->subsystem != SDL_SYSWM_X11)
        return std::nullopt;
    const XEvent& xevent = event.syswm.msg->msg.x11.event;
    if (xevent.type != ButtonPress)
        return std::nullopt;
    return ScreenPress{xevent.xbutton.x_root, xevent.xbutton.y_root, xevent.xbutton.button};
}

std::optional<ScreenBounds> ClientBoundsOf(SDL_Window* window) {
    const std::optional<Handles> handles = HandlesOf(window);
    if (!handles)
        return std::nullopt;
    XWindowAttributes attributes;
    if (::XGetWindowAttributes(handles->display, handles->window, &attributes) == 0)
        return std::nullopt;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    ::XTranslateCoordinates(handles->display, handles->window, DefaultRootWindow(handles->display),
                            0, 0, &x, &y, &child);
    return ScreenBounds{x, y, attributes.width, attributes.height};
}

} // namespace Velto::Widget::X11
