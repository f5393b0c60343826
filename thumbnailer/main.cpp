// veltocorvane-thumbnailer <pixels> [name]
//
// Makes one thumbnail for the server. The file to read is descriptor 3; the
// reply (see webapp/thumbnail_bitmap.h) goes to standard output; exit status
// 0 means a thumbnail was written, anything else that there is none. Images
// are decoded with libvips; other types go to the desktop thumbnailer
// installed for them. The server kills the helper when it takes too long.
#include "thumbnailer/content_type.h"
#include "thumbnailer/desktop_thumbnailers.h"
#include "thumbnailer/helper_limits.h"
#include "thumbnailer/reply_writer.h"
#include "thumbnailer/vips_decoder.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

using namespace Velto;

constexpr int kInputFd = 3;
constexpr int kMadeThumbnail = 0;
constexpr int kNoThumbnail = 1;
constexpr int kUsage = 2;

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

// A private folder for a desktop thumbnailer's output, removed with all it
// holds.
class WorkFolder {
public:
    WorkFolder() : m_path(g_dir_make_tmp("veltocorvane-thumb-XXXXXX", nullptr)) {}
    ~WorkFolder() {
        if (!m_path)
            return;
        if (GDir* dir = g_dir_open(m_path.get(), 0, nullptr)) {
            while (const char* name = g_dir_read_name(dir))
                ::unlink((std::string(m_path.get()) + "/" + name).c_str());
            g_dir_close(dir);
        }
        ::rmdir(m_path.get());
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const char* Path() const { return m_path.get(); }

private:
    std::unique_ptr<char, GFree> m_path;
};

std::optional<Corvane::ThumbnailBitmap> FromDesktopThumbnailer(std::string_view name,
                                                               std::uint32_t pixels) {
    const std::string mimeType = Thumbnailer::GuessContentType(kInputFd, name);
    const WorkFolder folder;
    if (folder.Path() == nullptr)
        return std::nullopt;
    const std::optional<std::string> written =
        Thumbnailer::RunDesktopThumbnailer(kInputFd, mimeType, pixels, folder.Path());
    if (!written)
        return std::nullopt;
    return Thumbnailer::DecodeImageFile(*written, pixels);
}

} // namespace

int main(int argc, char** argv) {
    if (!Thumbnailer::ApplyHelperLimits() || argc < 2)
        return kUsage;
    const std::string_view pixelText = argv[1];
    std::uint32_t pixels = 0;
    const auto [end, error] =
        std::from_chars(pixelText.data(), pixelText.data() + pixelText.size(), pixels);
    if (error != std::errc() || end != pixelText.data() + pixelText.size() || pixels == 0 ||
        pixels > Corvane::kMaxThumbnailBitmapEdge)
        return kUsage;
    const std::string_view name = argc > 2 ? argv[2] : "";

    struct stat input {};
    if (::fstat(kInputFd, &input) != 0 || !S_ISREG(input.st_mode))
        return kNoThumbnail;
    if (!Thumbnailer::StartVips(argv[0]))
        return kNoThumbnail;

    std::optional<Corvane::ThumbnailBitmap> bitmap = Thumbnailer::DecodeImageFd(kInputFd, pixels);
    if (!bitmap)
        bitmap = FromDesktopThumbnailer(name, pixels);
    if (!bitmap)
        return kNoThumbnail;
    return Thumbnailer::WriteReply(STDOUT_FILENO, *bitmap) ? kMadeThumbnail : kNoThumbnail;
}
