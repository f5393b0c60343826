#pragma once

// A test peer: a child process whose standard output the test reads line by
// line, started with an argument vector (no shell) and stopped on
// destruction.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace Velto::Widget::Kit::Testing {

// Generous: peers start an interpreter on a busy machine.
constexpr int kPeerStartMs = 30'000;

class PeerProcess {
public:
    PeerProcess() = default;
    ~PeerProcess() { Stop(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // Starts the program and waits for the line `ready` on its output.
    bool Start(const std::vector<std::string>& argv, const std::string& ready = "ready") {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        const int spawned = ::posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            m_pid = 0;
            ::close(out[0]);
            return false;
        }
        m_out = out[0];
        return WaitForLine(ready, kPeerStartMs);
    }

    // Reads output until a line equal to `line` arrives; false at the
    // deadline or when the peer ends.
    bool WaitForLine(const std::string& line, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (std::size_t end; (end = m_buffer.find('\n')) != std::string::npos;) {
                const std::string got = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                m_lines.push_back(got);
                if (got == line)
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_out < 0)
                return false;
            pollfd waiting{m_out, POLLIN, 0};
            if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[512];
            const ssize_t n = ::read(m_out, chunk, sizeof(chunk));
            if (n <= 0)
                return false;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
        if (m_out >= 0)
            ::close(m_out);
        m_out = -1;
    }

    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    pid_t m_pid{0};
    int m_out{-1};
    std::string m_buffer;
    std::vector<std::string> m_lines;
};

inline std::string PeersScript() {
    return std::string(VELTO_DESKTOP_TEST_DIR) + "/desktop_peers.py";
}

// Debian's interpreter, which has python3-dbus and python3-gi.
inline std::vector<std::string> PeerCommand(const std::string& role) {
    return {"/usr/bin/python3", PeersScript(), role};
}

} // namespace Velto::Widget::Kit::Testing
