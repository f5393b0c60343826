#include "thumbnailer/content_type.h"

#include <gio/gio.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace Velto::Thumbnailer {

namespace {

// Enough for every magic rule that decides between the media types.
constexpr std::size_t kSniffBytes = 4096;

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

} // namespace

std::string GuessContentType(int fd, std::string_view name) {
    std::array<unsigned char, kSniffBytes> head{};
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    if (got < 0)
        return {};
    const std::string fileName(name);
    gboolean uncertain = FALSE;
    const std::unique_ptr<char, GFree> type(
        g_content_type_guess(fileName.empty() ? nullptr : fileName.c_str(), head.data(),
                             static_cast<gsize>(got), &uncertain));
    if (!type)
        return {};
    const std::unique_ptr<char, GFree> mime(g_content_type_get_mime_type(type.get()));
    return mime ? std::string(mime.get()) : std::string();
}

} // namespace Velto::Thumbnailer
