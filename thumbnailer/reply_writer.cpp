#include "thumbnailer/reply_writer.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace Velto::Thumbnailer {

namespace {

void AppendLe32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteEverything(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

bool WriteReply(int fd, const Corvane::ThumbnailBitmap& bitmap) {
    std::string header(Corvane::kThumbnailReplyMagic);
    AppendLe32(header, bitmap.width);
    AppendLe32(header, bitmap.height);
    return WriteEverything(fd, header) && WriteEverything(fd, bitmap.bgra);
}

} // namespace Velto::Thumbnailer
