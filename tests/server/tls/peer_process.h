#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace Velto::Testing {

// A peer program (openssl, curl) run with its standard input and output on
// pipes; standard error joins standard output.
class PeerProcess {
public:
    PeerProcess(const std::vector<std::string>& argv,
                const std::vector<std::string>& extraEnv = {});
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    void Write(const std::string& text);
    void CloseInput();
    // Reads until `marker` has appeared in the output; false when the output
    // ends first or the safety limit passes (so a broken peer cannot hang a test).
    bool WaitFor(const std::string& marker,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(20000));
    // Same, until `marker` has appeared `count` times.
    bool WaitForCount(const std::string& marker, std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(20000));
    // Reads to the end of the output; returns the exit status (-1 when killed).
    int Wait(std::chrono::milliseconds limit = std::chrono::milliseconds(20000));
    const std::string& Output() const { return m_output; }

private:
    bool ReadSome(std::chrono::milliseconds limit);

    pid_t m_pid{-1};
    int m_stdin{-1};
    int m_stdout{-1};
    bool m_ended{false};
    std::string m_output;
};

// Runs a command to completion; returns its exit status and fills `output`.
int RunPeer(const std::vector<std::string>& argv, std::string& output);

} // namespace Velto::Testing
