// A drag source as a file manager is one, for the drop tests: it offers
// one data type over XDND (version 5) to a target window and drops at a
// point of the screen.
//
//   xdnd_source TARGET_WINDOW ROOT_X ROOT_Y TYPE LINE...
//
// The lines are joined with CRLF as text/uri-list wants. It sends
// XdndEnter and XdndPosition, waits for XdndStatus, sends XdndDrop, answers
// the target's SelectionRequest for XdndSelection and waits for
// XdndFinished. It prints "status accept=N" and "finished accept=N" and
// exits 0 once finished; 2 on bad arguments, 3 without a display, 4 when
// the target does not answer in time.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr long kXdndVersion = 5;
constexpr int kXdndVersionShift = 24;
constexpr int kRootCoordinateShift = 16;
constexpr auto kAnswerTimeout = std::chrono::seconds(20);
constexpr int kPollMs = 50;

struct Atoms {
    Atom enter{};
    Atom position{};
    Atom status{};
    Atom drop{};
    Atom finished{};
    Atom selection{};
    Atom actionCopy{};
    Atom targets{};
    Atom type{};
};

Atoms InternAtoms(Display* display, const char* type) {
    const auto intern = [display](const char* name) { return XInternAtom(display, name, False); };
    Atoms atoms;
    atoms.enter = intern("XdndEnter");
    atoms.position = intern("XdndPosition");
    atoms.status = intern("XdndStatus");
    atoms.drop = intern("XdndDrop");
    atoms.finished = intern("XdndFinished");
    atoms.selection = intern("XdndSelection");
    atoms.actionCopy = intern("XdndActionCopy");
    atoms.targets = intern("TARGETS");
    atoms.type = intern(type);
    return atoms;
}

void SendClientMessage(Display* display, ::Window target, Atom type, const long (&data)[5]) {
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

void AnswerSelectionRequest(Display* display, const Atoms& atoms,
                            const XSelectionRequestEvent& request, const std::string& payload) {
    XEvent reply;
    std::memset(&reply, 0, sizeof(reply));
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    const Atom property = request.property != None ? request.property : request.target;
    if (request.selection == atoms.selection && request.target == atoms.type) {
        XChangeProperty(display, request.requestor, property, atoms.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(payload.data()),
                        static_cast<int>(payload.size()));
        reply.xselection.property = property;
    } else if (request.selection == atoms.selection && request.target == atoms.targets) {
        const Atom offered[] = {atoms.targets, atoms.type};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 2);
        reply.xselection.property = property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

// Waits for the next event up to the deadline; false when time ran out.
bool NextEvent(Display* display, std::chrono::steady_clock::time_point deadline, XEvent& event) {
    while (XPending(display) == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, kPollMs);
    }
    XNextEvent(display, &event);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s TARGET_WINDOW ROOT_X ROOT_Y TYPE LINE...\n", argv[0]);
        return 2;
    }
    const ::Window target = std::strtoul(argv[1], nullptr, 0);
    const long rootX = std::strtol(argv[2], nullptr, 10);
    const long rootY = std::strtol(argv[3], nullptr, 10);
    std::string payload;
    for (int i = 5; i < argc; ++i) {
        payload += argv[i];
        payload += "\r\n";
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 3;
    const Atoms atoms = InternAtoms(display, argv[4]);
    const ::Window source =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, source, PropertyChangeMask);
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);

    const long enter[5] = {static_cast<long>(source), kXdndVersion << kXdndVersionShift,
                           static_cast<long>(atoms.type), 0, 0};
    SendClientMessage(display, target, atoms.enter, enter);
    const long position[5] = {static_cast<long>(source), 0,
                              (rootX << kRootCoordinateShift) | (rootY & 0xFFFF), CurrentTime,
                              static_cast<long>(atoms.actionCopy)};
    SendClientMessage(display, target, atoms.position, position);

    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    bool dropped = false;
    int result = 4;
    XEvent event;
    while (NextEvent(display, deadline, event)) {
        if (event.type == SelectionRequest) {
            AnswerSelectionRequest(display, atoms, event.xselectionrequest, payload);
            continue;
        }
        if (event.type != ClientMessage)
            continue;
        if (event.xclient.message_type == atoms.status && !dropped) {
            std::printf("status accept=%ld\n", event.xclient.data.l[1] & 1);
            std::fflush(stdout);
            const long drop[5] = {static_cast<long>(source), 0, CurrentTime, 0, 0};
            SendClientMessage(display, target, atoms.drop, drop);
            dropped = true;
        } else if (event.xclient.message_type == atoms.finished) {
            std::printf("finished accept=%ld\n", event.xclient.data.l[1] & 1);
            result = 0;
            break;
        }
    }
    std::fflush(stdout);
    XDestroyWindow(display, source);
    XCloseDisplay(display);
    return result;
}
