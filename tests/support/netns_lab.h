#pragma once

#include "base/unique_fd.h"
#include "tests/support/child_process.h"

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace Velto::Corvane::Testing {

// Commands the lab runs, shared with the tests that use it.
using Velto::Testing::CommandResult;
using Velto::Testing::RunCommand;

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
