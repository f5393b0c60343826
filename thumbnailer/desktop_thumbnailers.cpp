#include "thumbnailer/desktop_thumbnailers.h"

#include <fcntl.h>
#include <glib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

extern char** environ;

namespace Velto::Thumbnailer {

namespace {

constexpr const char* kGroup = "Thumbnailer Entry";

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};
struct StrvFree {
    void operator()(char** list) const { g_strfreev(list); }
};
struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct DirClose {
    void operator()(GDir* dir) const { g_dir_close(dir); }
};

// The Exec line of the first usable thumbnailer that lists the type.
std::string FindExecLine(std::string_view mimeType) {
    for (const char* const* data = g_get_system_data_dirs(); *data != nullptr; ++data) {
        const std::string folder = std::string(*data) + "/thumbnailers";
        const std::unique_ptr<GDir, DirClose> dir(g_dir_open(folder.c_str(), 0, nullptr));
        if (!dir)
            continue;
        while (const char* name = g_dir_read_name(dir.get())) {
            if (!g_str_has_suffix(name, ".thumbnailer"))
                continue;
            const std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
            const std::string path = folder + "/" + name;
            if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
                continue;
            const std::unique_ptr<char*, StrvFree> types(
                g_key_file_get_string_list(file.get(), kGroup, "MimeType", nullptr, nullptr));
            bool listed = false;
            for (char** type = types.get(); type != nullptr && *type != nullptr; ++type)
                listed = listed || mimeType == *type;
            if (!listed)
                continue;
            const std::unique_ptr<char, GFree> tryExec(
                g_key_file_get_string(file.get(), kGroup, "TryExec", nullptr));
            if (tryExec) {
                const std::unique_ptr<char, GFree> found(g_find_program_in_path(tryExec.get()));
                if (!found)
                    continue;
            }
            const std::unique_ptr<char, GFree> exec(
                g_key_file_get_string(file.get(), kGroup, "Exec", nullptr));
            if (exec)
                return exec.get();
        }
    }
    return {};
}

// Expands the field codes of one Exec argument.
std::string Expand(std::string_view argument, const std::string& input, const std::string& uri,
                   const std::string& output, std::uint32_t pixels) {
    std::string expanded;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%' || i + 1 == argument.size()) {
            expanded.push_back(argument[i]);
            continue;
        }
        switch (argument[++i]) {
        case 'i':
            expanded += input;
            break;
        case 'u':
            expanded += uri;
            break;
        case 'o':
            expanded += output;
            break;
        case 's':
            expanded += std::to_string(pixels);
            break;
        case '%':
            expanded.push_back('%');
            break;
        default:
            break; // codes without a meaning here expand to nothing
        }
    }
    return expanded;
}

bool RunToEnd(std::vector<std::string>& arguments) {
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const bool started =
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) ==
            0 &&
        ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    if (!started)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::optional<std::string> RunDesktopThumbnailer(int fd, std::string_view mimeType,
                                                 std::uint32_t pixels,
                                                 const std::string& workFolder) {
    if (mimeType.empty())
        return std::nullopt;
    const std::string exec = FindExecLine(mimeType);
    if (exec.empty())
        return std::nullopt;
    int count = 0;
    char** parsed = nullptr;
    if (!g_shell_parse_argv(exec.c_str(), &count, &parsed, nullptr))
        return std::nullopt;
    const std::unique_ptr<char*, StrvFree> words(parsed);

    // The thumbnailer opens the file through this process's descriptor
    // table, so it reads the very file the server opened.
    const std::string input = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
    const std::string uri = "file://" + input;
    const std::string output = workFolder + "/thumbnail.png";
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Expand(words.get()[i], input, uri, output, pixels));
    if (arguments.empty() || !RunToEnd(arguments))
        return std::nullopt;
    struct stat written {};
    if (::stat(output.c_str(), &written) != 0 || !S_ISREG(written.st_mode) || written.st_size == 0)
        return std::nullopt;
    return output;
}

} // namespace Velto::Thumbnailer
