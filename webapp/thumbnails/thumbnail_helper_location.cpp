#include "webapp/thumbnails/thumbnail_maker.h"

#include <unistd.h>

#include <array>
#include <filesystem>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kHelperName = "veltocorvane-thumbnailer";

bool IsRunnable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string FindThumbnailHelper(std::string_view executable) {
    const std::size_t slash = executable.rfind('/');
    if (slash != std::string_view::npos) {
        const std::string folder{executable.substr(0, slash + 1)};
        // A copy kept beside the program wins, so that a program and helper
        // copied together to one folder stay a pair.
        const std::string beside = folder + std::string{kHelperName};
        if (IsRunnable(beside))
            return beside;
        // Installed, the helper is private to the program: in its own folder
        // of the libexec tree that sits beside the program's bin folder.
        const std::string installed = std::filesystem::path{folder + VELTO_THUMBNAILER_FROM_BINDIR +
                                                            "/" + std::string{kHelperName}}
                                          .lexically_normal()
                                          .string();
        if (IsRunnable(installed))
            return installed;
    }
    return VELTO_THUMBNAILER_BUILD_PATH;
}

std::string DefaultThumbnailHelper() {
    std::array<char, 4096> self{};
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0)
        return VELTO_THUMBNAILER_BUILD_PATH;
    return FindThumbnailHelper(std::string_view{self.data(), static_cast<std::size_t>(length)});
}

} // namespace Velto::Corvane
