#pragma once

#include "base/unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Testing {

// Generous: peers start interpreters and daemons on a busy machine.
constexpr std::chrono::milliseconds kChildWaitLimit{60'000};

struct ChildOptions {
    enum class Stream { Pipe, File, Null };
    enum class Errors { ToOutput, ToFile, ToTest, Null };

    // "NAME=value" entries set on top of the test's environment (replacing
    // variables of the same name), or instead of it without `inherit`.
    std::vector<std::string> environment{};
    bool inheritEnvironment{true};
    // Standard input is a pipe the test writes to, else /dev/null.
    bool pipeInput{false};
    // Standard output goes to a pipe the test reads, to `outputFile` or to
    // /dev/null.
    Stream output{Stream::Pipe};
    std::string outputFile{};
    bool appendOutput{false};
    // Standard error joins standard output, goes to `errorFile`, stays the
    // test's own, or goes to /dev/null.
    Errors errors{Errors::ToOutput};
    std::string errorFile{};
    // A smaller output pipe (in bytes), so that a test can leave it full.
    int pipeCapacity{0};
    // A descriptor number the child gets the write end of a second pipe on,
    // for programs that announce readiness there (Xvfb -displayfd,
    // dbus-daemon --print-address); read it with ReadNotice.
    int noticeFd{-1};
    // How Stop ends a running child: this signal, then SIGKILL after the grace.
    int stopSignal{SIGKILL};
    std::chrono::milliseconds stopGrace{5'000};
};

// A program run as a child of the test, found on PATH and started with an
// argument vector (no shell). It dies with the test process (parent-death
// signal) and is stopped and reaped on destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(const std::vector<std::string>& argv, ChildOptions options = {});
    ~ChildProcess() { Stop(); }
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Writes to standard input (with ChildOptions::pipeInput).
    bool Write(std::string_view text);
    void CloseInput() { m_input.Reset(); }

    // Reads output until it holds `text` `count` times; false when the
    // output ends or the limit passes first.
    bool WaitForOutput(std::string_view text, std::chrono::milliseconds limit = kChildWaitLimit,
                       std::size_t count = 1);
    // Reads output until a whole line equal to `line` arrives after the lines
    // an earlier call consumed; false when the output ends or the limit passes.
    bool WaitForLine(std::string_view line, std::chrono::milliseconds limit = kChildWaitLimit);
    // Everything read from the output pipe so far.
    const std::string& Output() const { return m_output; }
    // Reads what the output pipe holds now, without waiting, then Output().
    const std::string& ReadAvailable();
    // The lines WaitForLine consumed.
    const std::vector<std::string>& Lines() const { return m_lines; }
    // The first line the child writes on ChildOptions::noticeFd; empty when
    // it closes it or the limit passes first.
    std::string ReadNotice(std::chrono::milliseconds limit = kChildWaitLimit);

    bool Signal(int signal) const;
    // The exit code (128 + signal number when killed) once the child ended.
    std::optional<int> TryWait();
    // Waits for the child to end, leaving its output unread; kills it when
    // the limit passes first. The exit code, or 128 + signal number.
    int WaitForExit(std::chrono::milliseconds limit = kChildWaitLimit);
    // Reads the output to its end, then waits as WaitForExit does.
    int Wait(std::chrono::milliseconds limit = kChildWaitLimit);
    // Ends the child as ChildOptions says and reaps it.
    void Stop();

private:
    // Reads one piece of output; false at its end or when nothing came in `limit`.
    bool ReadSome(std::chrono::milliseconds limit);
    void Reap(int status);
    // Kills a child that has not ended yet and waits for it.
    void KillAndReap();

    pid_t m_pid{-1};
    std::optional<int> m_exitCode;
    int m_stopSignal{SIGKILL};
    std::chrono::milliseconds m_stopGrace{0};
    UniqueFd m_input;
    UniqueFd m_outputPipe;
    UniqueFd m_notice;
    std::string m_output;
    std::size_t m_lineStart{0};
    std::vector<std::string> m_lines;
};

struct CommandResult {
    int exitCode{-1};
    std::string output; // standard output and standard error together
};

// Runs a program to completion (killing it after `limit`) and captures what
// it prints.
CommandResult RunCommand(const std::vector<std::string>& argv, ChildOptions options = {},
                         std::chrono::milliseconds limit = std::chrono::minutes(10));
// The same, for the common case: the exit code, with what it printed in `output`.
int RunCommand(const std::vector<std::string>& argv, std::string& output);

} // namespace Velto::Testing
