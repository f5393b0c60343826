#pragma once

#include "tests/support/child_process.h"

#include <optional>
#include <string>

namespace Velto::Testing {

// A private D-Bus session bus for one test: `dbus-daemon --session` listening
// on a socket in a temporary folder, with DBUS_SESSION_BUS_ADDRESS pointed at
// it while the object lives (the previous value comes back afterwards). The
// daemon is stopped on destruction.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Starts the daemon and waits until it accepts connections.
    bool Start();
    bool IsRunning() const { return m_daemon.Started(); }
    const std::string& Address() const { return m_address; }
    // A folder that lives as long as the bus, for the test's own files.
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_address;
    std::optional<std::string> m_previousAddress;
    ChildProcess m_daemon;
};

} // namespace Velto::Testing
