#include "widget/desktop/x_task_bar.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>
#include <string_view>

namespace Velto::Widget::Kit {
namespace {

// Shells that show minimised windows without a dock window of their own.
constexpr std::string_view kListingShells[] = {"GNOME Shell"};
constexpr long kMaxTypes = 16;
constexpr long kMaxNameLongs = 64;

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};
struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The raw data of a window property of the given type and format 32 or 8.
std::unique_ptr<unsigned char, XFreeDeleter> Property(Display* display, Window window,
                                                      Atom property, Atom type, long maxLongs,
                                                      unsigned long& count) {
    Atom actualType = None;
    int format = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    count = 0;
    if (property == None ||
        XGetWindowProperty(display, window, property, 0, maxLongs, False, type, &actualType,
                           &format, &count, &after, &raw) != Success)
        return nullptr;
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (actualType != type || raw == nullptr)
        return nullptr;
    return data;
}

bool IsMappedDock(Display* display, Window window, Atom typeProperty, Atom dock) {
    unsigned long count = 0;
    const auto data = Property(display, window, typeProperty, XA_ATOM, kMaxTypes, count);
    if (data == nullptr)
        return false;
    const auto* types = reinterpret_cast<const Atom*>(data.get());
    bool isDock = false;
    for (unsigned long i = 0; i < count; ++i)
        isDock = isDock || types[i] == dock;
    XWindowAttributes attributes;
    return isDock && XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

// Docks are mapped straight on the root; a reparenting window manager may
// still have framed one, so each top-level window's children are looked at
// too.
bool HasDock(Display* display, Window root) {
    const Atom typeProperty = XInternAtom(display, "_NET_WM_WINDOW_TYPE", True);
    const Atom dock = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", True);
    if (typeProperty == None || dock == None)
        return false;
    const auto search = [&](Window parent, auto& self, int depth) -> bool {
        Window rootReturn = 0;
        Window parentReturn = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, parent, &rootReturn, &parentReturn, &children, &count) == 0)
            return false;
        const std::unique_ptr<Window, XFreeDeleter> owned(children);
        for (unsigned int i = 0; i < count; ++i) {
            if (IsMappedDock(display, children[i], typeProperty, dock))
                return true;
            if (depth > 0 && self(children[i], self, depth - 1))
                return true;
        }
        return false;
    };
    return search(root, search, 1);
}

bool ShellListsWindows(Display* display, Window root) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    unsigned long count = 0;
    const auto data = Property(display, root, check, XA_WINDOW, 1, count);
    if (data == nullptr || count == 0)
        return false;
    const Window manager = *reinterpret_cast<const Window*>(data.get());
    const Atom nameProperty = XInternAtom(display, "_NET_WM_NAME", True);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    const auto name = Property(display, manager, nameProperty, utf8, kMaxNameLongs, count);
    if (name == nullptr)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(name.get()), count);
    for (const std::string_view shell : kListingShells)
        if (text == shell)
            return true;
    return false;
}

} // namespace

bool MinimizedWindowsCanComeBack() {
    const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (display == nullptr)
        return false;
    const Window root = DefaultRootWindow(display.get());
    return HasDock(display.get(), root) || ShellListsWindows(display.get(), root);
}

} // namespace Velto::Widget::Kit
