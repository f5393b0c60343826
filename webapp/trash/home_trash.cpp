#include "webapp/trash/home_trash.h"

#include "base/environment_variable.h"

namespace Velto::Corvane {

namespace {

// The variable when it holds an absolute path, without trailing slashes.
std::string AbsolutePathVariable(const char* name) {
    std::string path = EnvironmentVariable(name);
    if (path.empty() || path.front() != '/')
        return {};
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string HomeTrashPath() {
    std::string data = AbsolutePathVariable("XDG_DATA_HOME");
    if (data.empty()) {
        const std::string home = AbsolutePathVariable("HOME");
        if (home.empty())
            return {};
        data = (home == "/" ? std::string() : home) + "/.local/share";
    }
    return (data == "/" ? std::string() : data) + "/Trash";
}

} // namespace Velto::Corvane
