#include "webapp/thumbnails/thumbnail_maker.h"

#include <unistd.h>

#include <array>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kHelperName = "veltocorvane-thumbnailer";

} // namespace

std::string DefaultThumbnailHelper() {
    std::array<char, 4096> self{};
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length > 0) {
        std::string path(self.data(), static_cast<std::size_t>(length));
        path.erase(path.rfind('/') + 1);
        path.append(kHelperName);
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return VELTO_THUMBNAILER_BUILD_PATH;
}

} // namespace Velto::Corvane
