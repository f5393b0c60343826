#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace Velto::Testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
constexpr auto kPollStep = std::chrono::milliseconds(10);

std::chrono::milliseconds LeftUntil(Clock::time_point deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

std::string_view NameOf(std::string_view entry) {
    return entry.substr(0, entry.find('='));
}

// The child's environment: the test's own (unless not inherited), with the
// given entries replacing variables of the same name.
std::vector<std::string> EnvironmentFor(const ChildOptions& options) {
    std::vector<std::string> env;
    if (options.inheritEnvironment) {
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view inherited(*entry);
            bool replaced = false;
            for (const std::string& extra : options.environment)
                replaced = replaced || NameOf(extra) == NameOf(inherited);
            if (!replaced)
                env.emplace_back(inherited);
        }
    }
    env.insert(env.end(), options.environment.begin(), options.environment.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Places `from` on descriptor `to` in the child; a descriptor already there
// only loses its close-on-exec flag.
void Place(int from, int to) {
    if (from == to)
        ::fcntl(to, F_SETFD, 0);
    else
        ::dup2(from, to);
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, ChildOptions options)
    : m_stopSignal(options.stopSignal), m_stopGrace(options.stopGrace) {
    if (argv.empty())
        return;
    std::vector<std::string> args = argv;
    std::vector<std::string> env = EnvironmentFor(options);
    std::vector<char*> argp = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    const UniqueFd null{::open("/dev/null", O_RDWR | O_CLOEXEC)};
    UniqueFd childInput;
    if (options.pipeInput) {
        // A child that exits early must not kill the test on its next write.
        ::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        childInput.Reset(ends[0]);
        m_input.Reset(ends[1]);
    }
    UniqueFd childOutput;
    switch (options.output) {
    case ChildOptions::Stream::Pipe: {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        m_outputPipe.Reset(ends[0]);
        childOutput.Reset(ends[1]);
        if (options.pipeCapacity > 0)
            ::fcntl(ends[1], F_SETPIPE_SZ, options.pipeCapacity);
        break;
    }
    case ChildOptions::Stream::File:
        childOutput.Reset(::open(
            options.outputFile.c_str(),
            O_WRONLY | O_CREAT | O_CLOEXEC | (options.appendOutput ? O_APPEND : O_TRUNC), 0600));
        if (!childOutput)
            return;
        break;
    case ChildOptions::Stream::Null:
        break;
    }
    UniqueFd childErrors;
    if (options.errors == ChildOptions::Errors::ToFile) {
        childErrors.Reset(
            ::open(options.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!childErrors)
            return;
    }
    UniqueFd childNotice;
    if (options.noticeFd >= 0) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        m_notice.Reset(ends[0]);
        childNotice.Reset(ends[1]);
    }

    const int in = childInput ? childInput.Get() : null.Get();
    const int out = childOutput ? childOutput.Get() : null.Get();
    int err = null.Get();
    if (options.errors == ChildOptions::Errors::ToOutput)
        err = out;
    else if (options.errors == ChildOptions::Errors::ToFile)
        err = childErrors.Get();
    else if (options.errors == ChildOptions::Errors::ToTest)
        err = STDERR_FILENO;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return;
    if (pid == 0) {
        // Between fork and exec: only async-signal-safe calls.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        Place(in, STDIN_FILENO);
        Place(out, STDOUT_FILENO);
        Place(err, STDERR_FILENO);
        if (childNotice)
            Place(childNotice.Get(), options.noticeFd);
        ::execvpe(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    m_pid = pid;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_exitCode(other.m_exitCode),
      m_stopSignal(other.m_stopSignal), m_stopGrace(other.m_stopGrace),
      m_input(std::move(other.m_input)), m_outputPipe(std::move(other.m_outputPipe)),
      m_notice(std::move(other.m_notice)), m_output(std::move(other.m_output)),
      m_lineStart(other.m_lineStart), m_lines(std::move(other.m_lines)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Stop();
        m_pid = std::exchange(other.m_pid, -1);
        m_exitCode = other.m_exitCode;
        m_stopSignal = other.m_stopSignal;
        m_stopGrace = other.m_stopGrace;
        m_input = std::move(other.m_input);
        m_outputPipe = std::move(other.m_outputPipe);
        m_notice = std::move(other.m_notice);
        m_output = std::move(other.m_output);
        m_lineStart = other.m_lineStart;
        m_lines = std::move(other.m_lines);
    }
    return *this;
}

bool ChildProcess::Write(std::string_view text) {
    while (m_input && !text.empty()) {
        const ssize_t n = ::write(m_input.Get(), text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return text.empty();
}

bool ChildProcess::ReadSome(std::chrono::milliseconds limit) {
    if (!m_outputPipe)
        return false;
    pollfd waiting{m_outputPipe.Get(), POLLIN, 0};
    int ready;
    while ((ready = ::poll(&waiting, 1, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
    }
    if (ready <= 0)
        return false;
    char buffer[kReadChunk];
    ssize_t n;
    while ((n = ::read(m_outputPipe.Get(), buffer, sizeof buffer)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        m_outputPipe.Reset();
        return false;
    }
    m_output.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds limit,
                                 std::size_t count) {
    const auto occurrences = [&] {
        std::size_t found = 0;
        for (std::size_t at = m_output.find(text); at != std::string::npos;
             at = m_output.find(text, at + std::max<std::size_t>(text.size(), 1)))
            ++found;
        return found;
    };
    const auto deadline = Clock::now() + limit;
    while (occurrences() < count) {
        const auto left = LeftUntil(deadline);
        if (left.count() <= 0 || !ReadSome(left))
            return occurrences() >= count;
    }
    return true;
}

bool ChildProcess::WaitForLine(std::string_view line, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        for (std::size_t end; (end = m_output.find('\n', m_lineStart)) != std::string::npos;) {
            m_lines.push_back(m_output.substr(m_lineStart, end - m_lineStart));
            m_lineStart = end + 1;
            if (m_lines.back() == line)
                return true;
        }
        const auto left = LeftUntil(deadline);
        if (left.count() <= 0 || !m_outputPipe)
            return false;
        if (!ReadSome(left) && !m_outputPipe)
            return false;
    }
}

const std::string& ChildProcess::ReadAvailable() {
    while (ReadSome(std::chrono::milliseconds(0))) {
    }
    return m_output;
}

std::string ChildProcess::ReadNotice(std::chrono::milliseconds limit) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (m_notice && text.find('\n') == std::string::npos) {
        pollfd waiting{m_notice.Get(), POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(LeftUntil(deadline).count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(m_notice.Get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    m_notice.Reset();
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? std::string{} : text.substr(0, end);
}

bool ChildProcess::Signal(int signal) const {
    return m_pid > 0 && !m_exitCode && ::kill(m_pid, signal) == 0;
}

void ChildProcess::Reap(int status) {
    m_exitCode = ExitCodeOf(status);
}

void ChildProcess::KillAndReap() {
    if (m_exitCode)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    Reap(status);
}

std::optional<int> ChildProcess::TryWait() {
    if (m_pid <= 0 || m_exitCode)
        return m_exitCode;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
        Reap(status);
    return m_exitCode;
}

int ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (m_pid <= 0)
        return -1;
    const auto deadline = Clock::now() + limit;
    while (!TryWait() && Clock::now() < deadline)
        std::this_thread::sleep_for(kPollStep);
    KillAndReap();
    return *m_exitCode;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    // The output ends when the child (and whatever inherited it) is gone.
    while (m_outputPipe && LeftUntil(deadline).count() > 0)
        ReadSome(LeftUntil(deadline));
    return WaitForExit(LeftUntil(deadline));
}

void ChildProcess::Stop() {
    if (m_pid > 0 && !TryWait()) {
        ::kill(m_pid, m_stopSignal);
        const auto deadline = Clock::now() + m_stopGrace;
        while (m_stopSignal != SIGKILL && !TryWait() && Clock::now() < deadline)
            std::this_thread::sleep_for(kPollStep);
        KillAndReap();
    }
    m_input.Reset();
    m_outputPipe.Reset();
    m_notice.Reset();
}

CommandResult RunCommand(const std::vector<std::string>& argv, ChildOptions options,
                         std::chrono::milliseconds limit) {
    ChildProcess child(argv, std::move(options));
    CommandResult result;
    if (!child.Started())
        return result;
    result.exitCode = child.Wait(limit);
    result.output = child.Output();
    return result;
}

int RunCommand(const std::vector<std::string>& argv, std::string& output) {
    CommandResult result = RunCommand(argv);
    output = std::move(result.output);
    return result.exitCode;
}

} // namespace Velto::Testing
