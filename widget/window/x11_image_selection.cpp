#include "widget/window/x11_image_selection.h"

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string_view>

namespace Velto::Widget::X11 {
namespace {

// Where another program's answer is put on our window.
constexpr const char* kTransferProperty = "VELTO_CLIPBOARD_IMAGE";
// KDE's clipboard history leaves out data offered with this hint.
constexpr std::string_view kSecretHint = "secret";
constexpr int kPollSliceMs = 20;

struct XFreeDeleter {
    void operator()(unsigned char* data) const { XFree(data); }
};

// The server's time now, from the PropertyNotify of an empty append; the
// selection is owned from that time on (ICCCM asks for a real timestamp).
Time ServerTime(Display* display, ::Window window, Atom property) {
    XChangeProperty(display, window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, window, PropertyChangeMask, &event);
    return event.xproperty.time;
}

void Answer(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent reply;
    std::memset(&reply, 0, sizeof(reply));
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = property;
    reply.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

} // namespace

std::unique_ptr<ImageSelection> ImageSelection::Create(SDL_Window* any) {
    if (any == nullptr)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(any, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    Display* display = info.info.x11.display;
    const ::Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    if (window == 0)
        return nullptr;
    XSelectInput(display, window, PropertyChangeMask);
    return std::unique_ptr<ImageSelection>(new ImageSelection(display, window));
}

ImageSelection::ImageSelection(_XDisplay* display, unsigned long window)
    : m_display(display), m_window(window) {
    const auto intern = [display](const char* name) { return XInternAtom(display, name, False); };
    m_clipboard = intern("CLIPBOARD");
    m_targets = intern("TARGETS");
    m_timestamp = intern("TIMESTAMP");
    m_png = intern("image/png");
    m_passwordHint = intern("x-kde-passwordManagerHint");
    m_transfer = intern(kTransferProperty);
}

ImageSelection::~ImageSelection() {
    if (XGetSelectionOwner(m_display, m_clipboard) == m_window)
        XSetSelectionOwner(m_display, m_clipboard, None, CurrentTime);
    XDestroyWindow(m_display, m_window);
    XFlush(m_display);
}

std::size_t ImageSelection::LargestAnswer() const {
    long units = XExtendedMaxRequestSize(m_display);
    if (units <= 0)
        units = XMaxRequestSize(m_display);
    const std::size_t bytes = static_cast<std::size_t>(units) * 4;
    return bytes > kRequestHeaderBytes ? bytes - kRequestHeaderBytes : 0;
}

bool ImageSelection::Offer(std::vector<std::uint8_t> png, bool secret) {
    if (png.empty() || png.size() > LargestAnswer())
        return false;
    const Time now = ServerTime(m_display, m_window, m_transfer);
    XSetSelectionOwner(m_display, m_clipboard, m_window, now);
    if (XGetSelectionOwner(m_display, m_clipboard) != m_window) {
        m_bytes.clear();
        return false;
    }
    m_ownedSince = now;
    m_secret = secret;
    m_bytes = std::move(png);
    return true;
}

bool ImageSelection::HandleEvent(const SDL_Event& event) {
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr ||
        event.syswm.msg->subsystem != SDL_SYSWM_X11)
        return false;
    const XEvent& xevent = event.syswm.msg->msg.x11.event;
    if (xevent.type == SelectionClear && xevent.xselectionclear.window == m_window) {
        if (xevent.xselectionclear.selection == m_clipboard)
            m_bytes.clear();
        return true;
    }
    if (xevent.type != SelectionRequest || xevent.xselectionrequest.owner != m_window)
        return false;

    const XSelectionRequestEvent& request = xevent.xselectionrequest;
    // Clients from before ICCCM name no property: the target stands in.
    const Atom property = request.property != None ? request.property : request.target;
    if (request.selection != m_clipboard || m_bytes.empty()) {
        Answer(m_display, request, None);
        return true;
    }
    if (request.target == m_targets) {
        std::vector<Atom> offered{m_targets, m_timestamp, m_png};
        if (m_secret)
            offered.push_back(m_passwordHint);
        XChangeProperty(m_display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered.data()),
                        static_cast<int>(offered.size()));
    } else if (request.target == m_timestamp) {
        const long time = static_cast<long>(m_ownedSince);
        XChangeProperty(m_display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
    } else if (request.target == m_png) {
        XChangeProperty(m_display, request.requestor, property, m_png, 8, PropModeReplace,
                        m_bytes.data(), static_cast<int>(m_bytes.size()));
    } else if (request.target == m_passwordHint && m_secret) {
        XChangeProperty(m_display, request.requestor, property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(kSecretHint.data()),
                        static_cast<int>(kSecretHint.size()));
    } else {
        Answer(m_display, request, None);
        return true;
    }
    Answer(m_display, request, property);
    return true;
}

void ImageSelection::NoteTextOwner() {
    m_textOwner = XGetSelectionOwner(m_display, m_clipboard);
}

std::optional<std::vector<std::uint8_t>> ImageSelection::ReadPng() {
    const ::Window owner = XGetSelectionOwner(m_display, m_clipboard);
    if (owner == None)
        return std::nullopt;
    // Our own image: asking ourselves would wait for an answer only this
    // thread can give.
    if (owner == m_window)
        return m_bytes.empty() ? std::nullopt : std::optional(m_bytes);
    if (owner == m_textOwner)
        return std::nullopt;

    XDeleteProperty(m_display, m_window, m_transfer);
    XConvertSelection(m_display, m_clipboard, m_png, m_transfer, m_window, CurrentTime);
    XFlush(m_display);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    XEvent event;
    while (!XCheckTypedWindowEvent(m_display, m_window, SelectionNotify, &event)) {
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
        poll(&descriptor, 1, kPollSliceMs);
    }
    if (event.xselection.property == None)
        return std::nullopt;

    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(m_display, m_window, m_transfer, 0, LONG_MAX / 4, True, AnyPropertyType,
                           &type, &format, &count, &remaining, &raw) != Success)
        return std::nullopt;
    const std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    // An incremental transfer (INCR) is not read: the owner's answer ends here.
    if (data == nullptr || format != 8 || type != m_png || count == 0)
        return std::nullopt;
    return std::vector<std::uint8_t>(data.get(), data.get() + count);
}

} // namespace Velto::Widget::X11
