#include "app/desktop/shell/detached_process.h"

#include "base/interrupt_retry.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace App {
namespace {

// Used when PATH is unset, as the C library's own search does.
constexpr std::string_view kDefaultPath = "/usr/local/bin:/usr/bin:/bin";
constexpr int kExecFailedStatus = 127;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Runs in the grandchild between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecInGrandchild(const char* path, char* const* argv, int devNull) {
    for (int signal = 1; signal < NSIG; ++signal)
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (devNull >= 0)
        ::dup2(devNull, STDIN_FILENO);
    ::execve(path, argv, environ);
    ::_exit(kExecFailedStatus);
}

} // namespace

std::string FindProgram(const std::string& program) {
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return IsExecutableFile(program) ? program : std::string{};
    const char* variable = std::getenv("PATH");
    std::string_view folders = variable ? std::string_view{variable} : kDefaultPath;
    while (true) {
        const std::size_t colon = folders.find(':');
        // An empty entry means the current folder.
        std::string_view folder = folders.substr(0, colon);
        if (folder.empty())
            folder = ".";
        std::string candidate{folder};
        candidate += '/';
        candidate += program;
        if (IsExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        folders.remove_prefix(colon + 1);
    }
}

bool StartDetached(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        return false;
    const std::string path = FindProgram(arguments.front());
    if (path.empty())
        return false;
    // Everything the children use is made before the fork: after it, a child
    // of a threaded process may only make async-signal-safe calls.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const Velto::UniqueFd devNull{::open("/dev/null", O_RDONLY | O_CLOEXEC)};

    // The child only forks the grandchild and leaves; the grandchild, orphaned
    // at once, is adopted by init (or the session's subreaper), so the caller
    // waits for nothing but that brief first step.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            ExecInGrandchild(path.c_str(), argv.data(), devNull.Get());
        ::_exit(grandchild < 0 ? kExecFailedStatus : 0);
    }
    int status = 0;
    const pid_t waited = Velto::RetryOnInterrupt([&] { return ::waitpid(child, &status, 0); });
    return waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace App
