#include "app/run/program_files.h"

#include <unistd.h>

#include <vector>

namespace App {
namespace {

constexpr std::size_t kFirstBufferSize = 256;
// Far beyond any path the kernel hands out; ends the growing loop.
constexpr std::size_t kLargestBufferSize = std::size_t{1} << 20;

std::string RunningExecutable() {
    // readlink does not say how long the target is: grow the buffer until the
    // whole path fits with room to spare.
    for (std::size_t size = kFirstBufferSize; size <= kLargestBufferSize; size *= 2) {
        std::vector<char> buffer(size);
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    return {};
}

// `sibling` when it can be run, else `installed`; `installed` is relative to
// the running executable's folder.
std::string SiblingOrInstalled(std::string_view name, std::string_view installed) {
    const std::string sibling = SiblingExecutable(name);
    if (sibling.empty() || ::access(sibling.c_str(), X_OK) == 0)
        return sibling;
    return SiblingExecutable(installed);
}

} // namespace

std::string DesktopProgramPath() {
    return SiblingOrInstalled(kDesktopProgramName, "../libexec/veltocorvane/veltocorvane-desktop");
}

std::string CommandPath() {
    return SiblingOrInstalled(kCommandName, "../../bin/veltocorvane");
}

std::string SiblingExecutable(std::string_view name) {
    std::string path = RunningExecutable();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    path.erase(slash + 1);
    path.append(name);
    return path;
}

} // namespace App
