#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

enum class MediaKind : std::int32_t { Other = 0, Image = 1, Video = 2, Audio = 3, Text = 4 };

struct MimeInfo {
    std::string_view type;
    MediaKind kind{MediaKind::Other};
    bool inlineSafe{false}; // a browser shows this type itself
};

// Looks up the extension after the last "." (lower-cased per code unit);
// unknown or missing extensions give application/octet-stream.
MimeInfo MimeForName(std::u16string_view fileName);

} // namespace Velto::Corvane
