#include "server/http/mime_types.h"

#include <algorithm>
#include <array>
#include <string>

namespace Velto::Corvane {
namespace {

struct MimeRow {
    std::u16string_view extension;
    MimeInfo info;
};

constexpr std::string_view kTextPlain = "text/plain; charset=utf-8";

constexpr std::array kMimeTable = {
    MimeRow{u"jpg", {"image/jpeg", MediaKind::Image, true}},
    MimeRow{u"jpeg", {"image/jpeg", MediaKind::Image, true}},
    MimeRow{u"jfif", {"image/jpeg", MediaKind::Image, true}},
    MimeRow{u"png", {"image/png", MediaKind::Image, true}},
    MimeRow{u"gif", {"image/gif", MediaKind::Image, true}},
    MimeRow{u"webp", {"image/webp", MediaKind::Image, true}},
    MimeRow{u"bmp", {"image/bmp", MediaKind::Image, true}},
    MimeRow{u"avif", {"image/avif", MediaKind::Image, true}},
    MimeRow{u"ico", {"image/x-icon", MediaKind::Image, true}},
    MimeRow{u"heic", {"image/heic", MediaKind::Image, false}},
    MimeRow{u"heif", {"image/heif", MediaKind::Image, false}},
    MimeRow{u"tif", {"image/tiff", MediaKind::Image, false}},
    MimeRow{u"tiff", {"image/tiff", MediaKind::Image, false}},
    MimeRow{u"svg", {"image/svg+xml", MediaKind::Other, false}},
    MimeRow{u"mp4", {"video/mp4", MediaKind::Video, true}},
    MimeRow{u"m4v", {"video/mp4", MediaKind::Video, true}},
    MimeRow{u"mov", {"video/quicktime", MediaKind::Video, true}},
    MimeRow{u"webm", {"video/webm", MediaKind::Video, true}},
    MimeRow{u"ogv", {"video/ogg", MediaKind::Video, true}},
    MimeRow{u"mkv", {"video/x-matroska", MediaKind::Video, false}},
    MimeRow{u"avi", {"video/x-msvideo", MediaKind::Video, false}},
    MimeRow{u"wmv", {"video/x-ms-wmv", MediaKind::Video, false}},
    MimeRow{u"mp3", {"audio/mpeg", MediaKind::Audio, true}},
    MimeRow{u"m4a", {"audio/mp4", MediaKind::Audio, true}},
    MimeRow{u"aac", {"audio/aac", MediaKind::Audio, true}},
    MimeRow{u"ogg", {"audio/ogg", MediaKind::Audio, true}},
    MimeRow{u"oga", {"audio/ogg", MediaKind::Audio, true}},
    MimeRow{u"opus", {"audio/ogg", MediaKind::Audio, true}},
    MimeRow{u"wav", {"audio/wav", MediaKind::Audio, true}},
    MimeRow{u"flac", {"audio/flac", MediaKind::Audio, true}},
    MimeRow{u"wma", {"audio/x-ms-wma", MediaKind::Audio, false}},
    MimeRow{u"txt", {kTextPlain, MediaKind::Text, true}},
    MimeRow{u"log", {kTextPlain, MediaKind::Text, true}},
    MimeRow{u"md", {kTextPlain, MediaKind::Text, true}},
    MimeRow{u"csv", {kTextPlain, MediaKind::Text, true}},
    MimeRow{u"json", {kTextPlain, MediaKind::Text, true}},
    MimeRow{u"pdf", {"application/pdf", MediaKind::Other, false}},
    MimeRow{u"zip", {"application/zip", MediaKind::Other, false}},
    MimeRow{u"html", {"text/html", MediaKind::Other, false}},
    MimeRow{u"htm", {"text/html", MediaKind::Other, false}},
};
static_assert(kMimeTable.size() == 40);

constexpr MimeInfo kUnknown{"application/octet-stream", MediaKind::Other, false};

// No extension in the table is longer; a longer one is unknown without a look.
constexpr std::size_t kLongestExtension = [] {
    std::size_t longest = 0;
    for (const MimeRow& row : kMimeTable)
        longest = std::max(longest, row.extension.size());
    return longest;
}();

} // namespace

MimeInfo MimeForName(std::u16string_view fileName) {
    const std::size_t dot = fileName.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return kUnknown;
    const std::u16string_view given = fileName.substr(dot + 1);
    if (given.size() > kLongestExtension)
        return kUnknown;
    std::array<char16_t, kLongestExtension> lower{};
    for (std::size_t i = 0; i < given.size(); ++i) {
        const char16_t unit = given[i];
        lower[i] = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
    }
    const std::u16string_view extension(lower.data(), given.size());
    for (const MimeRow& row : kMimeTable) {
        if (row.extension == extension)
            return row.info;
    }
    return kUnknown;
}

} // namespace Velto::Corvane
