#include "tests/app/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace App::Testing {
namespace {

constexpr auto kPollStep = std::chrono::milliseconds(20);
// The smallest pipe the kernel makes: one page.
constexpr int kPipeCapacity = 4096;

std::string ReadFile(const std::string& path) {
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

} // namespace

std::string ProgramPath() {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    return std::string{binary ? binary : "."} + "/app/veltocorvane";
}

ProgramRun::ProgramRun(const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment,
                       const std::string& folder, const std::vector<std::string>& prefix,
                       OutputTo output)
    : m_outputPath(folder + "/stdout.txt"), m_errorPath(folder + "/stderr.txt") {
    std::vector<std::string> argvText{prefix};
    argvText.push_back(ProgramPath());
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envText;
    for (const auto& [name, value] : environment)
        envText.push_back(name + "=" + value);
    std::vector<char*> argv;
    for (auto& text : argvText)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& text : envText)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    int out = -1;
    if (output == OutputTo::Pipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            ::fcntl(ends[1], F_SETPIPE_SZ, kPipeCapacity);
            ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
            m_outputPipe = ends[0];
            out = ends[1];
        }
    } else {
        out = ::open(m_outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    const int err = ::open(m_errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
}

ProgramRun::~ProgramRun() {
    if (m_pid > 0 && m_exitCode < 0) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    if (m_outputPipe >= 0)
        ::close(m_outputPipe);
}

bool ProgramRun::WaitForOutput(std::string_view text, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (Output().find(text) != std::string::npos)
            return true;
        int status = 0;
        if (m_exitCode < 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return Output().find(text) != std::string::npos;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

bool ProgramRun::Signal(int signal) const {
    return m_exitCode < 0 && ::kill(m_pid, signal) == 0;
}

int ProgramRun::Wait() {
    if (m_exitCode >= 0 || m_pid <= 0)
        return m_exitCode;
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0) {
        if (errno != EINTR)
            return m_exitCode;
    }
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_exitCode;
}

std::string ProgramRun::Output() const {
    if (m_outputPipe < 0)
        return ReadFile(m_outputPath);
    char buffer[kPipeCapacity];
    for (;;) {
        const ssize_t got = ::read(m_outputPipe, buffer, sizeof buffer);
        if (got > 0)
            m_piped.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            return m_piped;
    }
}

std::string ProgramRun::Errors() const {
    return ReadFile(m_errorPath);
}

} // namespace App::Testing
