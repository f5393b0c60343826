#pragma once

#include "thumbnailer/thumbnail_bitmap.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Runs the thumbnail helper `executable` on the open file `fd` and reads the
// bitmap it replies with. The helper gets the file as descriptor 3 (never a
// path, so a link swapped in meanwhile changes nothing), the pixel edge and
// the item's name (a hint for telling its type) as arguments, its own process
// group, and an almost empty environment. It must exit with status 0 within
// `timeout`; a crash, a limit it hits, a time-out (the whole group is then
// killed) or a malformed reply gives none.
struct HelperResult {
    std::optional<ThumbnailBitmap> bitmap;
    // False when the helper could not be started at all (this process ran
    // out of descriptors or processes): no verdict on the file.
    bool started{false};
};
HelperResult RunThumbnailHelper(const std::string& executable, int fd, std::uint32_t pixels,
                                std::string_view nameHint, std::chrono::milliseconds timeout);

} // namespace Velto::Corvane
