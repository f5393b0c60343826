#include "widget/dialogs/tool_process.h"

#include "base/environment_variable.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace Velto::Widget::Kit {

std::optional<std::string> FindOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    // PATH can be longer than the environment reader's usual limit.
    const char* path = std::getenv("PATH");
    const std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string_view::npos)
            end = folders.size();
        const std::string_view folder = folders.substr(start, end - start);
        start = end + 1;
        // Only absolute folders: a relative one would depend on the
        // current folder.
        if (folder.empty() || folder.front() != '/')
            continue;
        std::string candidate = std::string(folder) + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

std::optional<ToolResult> RunTool(const std::string& program, const std::vector<std::string>& args,
                                  std::size_t maxOutput) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    UniqueFd readEnd(out[0]);
    UniqueFd writeEnd(out[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The child starts with default signal handling whatever ours is.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    writeEnd.Reset();
    if (spawned != 0)
        return std::nullopt;

    ToolResult result;
    bool overflow = false;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(readEnd.Get(), chunk, sizeof(chunk));
        // The dialog may stay open for long; every interrupted read is retried.
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (result.output.size() + static_cast<std::size_t>(n) > maxOutput) {
            overflow = true;
            ::kill(child, SIGKILL);
            break;
        }
        result.output.append(chunk, static_cast<std::size_t>(n));
    }
    readEnd.Reset();
    int status = 0;
    pid_t waited = 0;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != child || overflow)
        return std::nullopt;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace Velto::Widget::Kit
