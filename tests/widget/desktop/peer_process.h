#pragma once

// A test peer: a script from this folder run as a child process whose
// standard output the test reads line by line, stopped on destruction.
#include "tests/support/child_process.h"

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace Velto::Widget::Kit::Testing {

// Generous: peers start an interpreter on a busy machine.
constexpr int kPeerStartMs = 30'000;

class PeerProcess {
public:
    // Starts the program and waits for the line `ready` on its output.
    bool Start(const std::vector<std::string>& argv, const std::string& ready = "ready") {
        m_child = Velto::Testing::ChildProcess{
            argv, {.errors = Velto::Testing::ChildOptions::Errors::ToTest, .stopSignal = SIGTERM}};
        return m_child.Started() && WaitForLine(ready, kPeerStartMs);
    }

    // Reads output until a line equal to `line` arrives; false at the
    // deadline or when the peer ends.
    bool WaitForLine(const std::string& line, int timeoutMs) {
        return m_child.WaitForLine(line, std::chrono::milliseconds(timeoutMs));
    }

    void Stop() { m_child.Stop(); }

    const std::vector<std::string>& Lines() const { return m_child.Lines(); }

private:
    Velto::Testing::ChildProcess m_child;
};

inline std::string PeersScript() {
    return std::string(VELTO_DESKTOP_TEST_DIR) + "/desktop_peers.py";
}

// Debian's interpreter, which has python3-dbus and python3-gi.
inline std::vector<std::string> PeerCommand(const std::string& role) {
    return {"/usr/bin/python3", PeersScript(), role};
}

} // namespace Velto::Widget::Kit::Testing
