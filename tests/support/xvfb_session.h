#pragma once

#include "tests/support/child_process.h"
#include "tests/support/session_bus.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Testing {

// What a private X session starts with.
struct XvfbOptions {
    // Width x height x depth of screen 0.
    std::string screen{"1280x800x24"};
    // Starts openbox too, and waits until it manages the screen (needed
    // where activation, focus or the frame of a window matter).
    bool windowManager{false};
    // Starts a private `dbus-daemon --session` too.
    bool sessionBus{false};
};

// The output and exit status of a command run against the session.
struct CommandOutput {
    int status{-1}; // exit status; -1 when it could not run or was killed
    std::string out;
};

// A private X server for one test process: Xvfb on a free display number
// (chosen by the server itself through -displayfd), optionally a window
// manager and a private session bus. While the object lives DISPLAY points at
// the server, WAYLAND_DISPLAY is unset and DBUS_SESSION_BUS_ADDRESS is either
// the private bus or unset, so that nothing reaches the developer's desktop;
// the previous environment comes back on destruction, after every process
// it started has been stopped. Children die with the test process even when
// it crashes (PR_SET_PDEATHSIG).
//
//     Velto::Testing::XvfbSession x({.windowManager = true});
//     ASSERT_TRUE(x.Start());
//     auto focus = x.Run({"xdotool", "getwindowfocus"});
class XvfbSession {
public:
    explicit XvfbSession(XvfbOptions options = {});
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // Starts everything asked for and waits until the server answers (and
    // the window manager has taken the screen). False when any part failed;
    // what was started is stopped again by the destructor.
    bool Start();
    bool IsRunning() const { return m_server.Started(); }
    // ":N".
    const std::string& Display() const { return m_display; }
    // The private bus's address; empty without one.
    const std::string& BusAddress() const;

    // Runs a program (searched in PATH) with the session's environment, waits
    // for it and returns its standard output. Standard error is dropped.
    CommandOutput Run(const std::vector<std::string>& argv, int timeoutMs = kCommandMs) const;
    // Merges X resources the way a desktop does (xrdb -merge), e.g.
    // "Xft.dpi: 192"; toolkits read them from the RESOURCE_MANAGER property.
    bool MergeResources(const std::string& resources) const;

    static constexpr int kCommandMs = 30'000;

private:
    bool StartServer();
    bool StartWindowManager();
    bool StartBus();
    bool WaitForWindowManager() const;
    void SetEnv(const std::string& name, const std::optional<std::string>& value);

    XvfbOptions m_options;
    std::string m_display;
    // The previous environment comes back after every child has stopped.
    std::map<std::string, std::optional<std::string>> m_savedEnv;
    ChildProcess m_server;
    std::optional<SessionBus> m_bus;
    ChildProcess m_windowManager;
};

} // namespace Velto::Testing
