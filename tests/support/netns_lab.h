#pragma once

#include "base/unique_fd.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace Velto::Corvane::Testing {

struct CommandResult {
    int exitCode{-1};
    std::string output; // standard output and standard error together
};

// Runs a program to completion and captures what it prints.
CommandResult RunCommand(const std::vector<std::string>& argv);

// A program running in the background for the length of a test. It dies with
// the test process (parent-death signal) and is killed and reaped on
// destruction. Its standard output and error go to `logPath`, or to a pipe
// that WaitForOutput reads when `logPath` is empty.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    BackgroundProcess(const std::vector<std::string>& argv, const std::string& logPath);
    ~BackgroundProcess() { Stop(); }
    BackgroundProcess(BackgroundProcess&& other) noexcept;
    BackgroundProcess& operator=(BackgroundProcess&& other) noexcept;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Running() const { return m_pid > 0; }
    // Waits (at most `limitMs`) until the program prints `text` on its pipe.
    bool WaitForOutput(std::string_view text, int limitMs);
    void Stop();

private:
    pid_t m_pid{-1};
    UniqueFd m_output;
};

// Switches the calling thread into a named network namespace and back.
class ScopedNetns {
public:
    explicit ScopedNetns(const std::string& name);
    ~ScopedNetns();
    ScopedNetns(const ScopedNetns&) = delete;
    ScopedNetns& operator=(const ScopedNetns&) = delete;
    bool Entered() const { return m_entered; }

private:
    UniqueFd m_home;
    bool m_entered{false};
};

// Network namespaces made for one test run. Names carry the process id, so
// runs never collide and namespaces left behind by a run that crashed are
// removed by the next one. Everything is deleted on destruction.
class NetnsLab {
public:
    NetnsLab();
    ~NetnsLab();
    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    // Creates a namespace with its loopback up; returns its full name, or an
    // empty string (with `error` filled) on failure.
    std::string Add(std::string_view role);
    // Runs `ip -n <ns> <args...>`; false (with `error` filled) on failure.
    bool Ip(const std::string& ns, const std::vector<std::string>& args);
    // Runs a program inside a namespace.
    CommandResult Exec(const std::string& ns, const std::vector<std::string>& argv);
    std::vector<std::string> ExecArgv(const std::string& ns,
                                      const std::vector<std::string>& argv) const;

    // A private temporary folder for configuration files and logs.
    const std::string& Folder() const { return m_folder; }
    const std::string& Error() const { return m_error; }

private:
    std::string m_prefix;
    std::string m_folder;
    std::vector<std::string> m_namespaces;
    std::string m_error;
};

// Tries to connect to host:port over TCP from the calling thread's namespace
// until it succeeds or `limitMs` passes.
bool WaitForTcpListener(const std::string& host, std::uint16_t port, int limitMs);

} // namespace Velto::Corvane::Testing
