#include "config/data_folders.h"

#include "base/environment_variable.h"

#include <pwd.h>
#include <unistd.h>

#include <string_view>
#include <vector>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kAppFolder = "/VeltoCorvane";
constexpr std::size_t kPasswdBufferSize = 16384;

std::string HomeFolder() {
    std::string home = EnvironmentVariable("HOME");
    if (!home.empty() && home.front() == '/')
        return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kPasswdBufferSize);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An XDG base folder: the variable when it holds an absolute path, else HOME + fallback.
std::string XdgFolder(const char* variable, std::string_view homeRelative) {
    const std::string value = EnvironmentVariable(variable);
    if (!value.empty() && value.front() == '/')
        return WithoutTrailingSlashes(value);
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return WithoutTrailingSlashes(home) + std::string(homeRelative);
}

std::string AppFolderIn(const char* variable, std::string_view homeRelative) {
    const std::string base = XdgFolder(variable, homeRelative);
    if (base.empty())
        return {};
    return (base == "/" ? std::string() : base) + std::string(kAppFolder);
}

} // namespace

std::string DataFolderOverride() {
    const std::string value = EnvironmentVariable("VELTO_CORVANE_DATA_DIR");
    return value.empty() ? value : WithoutTrailingSlashes(value);
}

std::string ConfigFilePath() {
    const std::string data = DataFolderOverride();
    if (!data.empty())
        return (data == "/" ? std::string() : data) + "/config.json";
    const std::string folder = AppFolderIn("XDG_CONFIG_HOME", "/.config");
    return folder.empty() ? folder : folder + "/config.json";
}

std::string LogsFolderPath() {
    const std::string data = DataFolderOverride();
    if (!data.empty())
        return (data == "/" ? std::string() : data) + "/logs";
    const std::string folder = AppFolderIn("XDG_STATE_HOME", "/.local/state");
    return folder.empty() ? folder : folder + "/logs";
}

std::string UploadsFolderPath() {
    const std::string data = DataFolderOverride();
    if (!data.empty())
        return (data == "/" ? std::string() : data) + "/uploads";
    const std::string folder = AppFolderIn("XDG_STATE_HOME", "/.local/state");
    return folder.empty() ? folder : folder + "/uploads";
}

std::string ConfigHomeFolder() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string SecretKeyFilePath() {
    const std::string folder = AppFolderIn("XDG_DATA_HOME", "/.local/share");
    return folder.empty() ? folder : folder + "/secret.key";
}

} // namespace Velto::Corvane
