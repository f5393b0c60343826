#include "webapp/listing_item_json.h"

#include "base/utf.h"
#include "server/http/mime_types.h"
#include "webapp/fs/file_attributes.h"
#include "json/json.h"

namespace Velto::Corvane {

namespace {

// FILETIME of 1970-01-01 00:00 UTC, and FILETIME units per millisecond.
constexpr std::uint64_t kUnixEpochFileTime = 116'444'736'000'000'000ULL;
constexpr std::uint64_t kFileTimePerMs = 10'000;

double ModifiedMs(FileTime lastWrite) {
    if (lastWrite <= kUnixEpochFileTime)
        return 0;
    return static_cast<double>((lastWrite - kUnixEpochFileTime) / kFileTimePerMs);
}

std::string_view KindName(MediaKind kind) {
    switch (kind) {
    case MediaKind::Image:
        return "image";
    case MediaKind::Video:
        return "video";
    case MediaKind::Audio:
        return "audio";
    case MediaKind::Text:
        return "text";
    case MediaKind::Other:
        break;
    }
    return "other";
}

} // namespace

void AppendListingItem(std::string& out, const DirEntry& entry, const std::string* folderPath) {
    const bool isDir = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out += "{\"name\":";
    AppendJsonString(out, Utf16ToUtf8(entry.name));
    out += isDir ? ",\"dir\":true,\"size\":" : ",\"dir\":false,\"size\":";
    AppendJsonNumber(out, isDir ? 0.0 : static_cast<double>(entry.size));
    out += ",\"modified\":";
    AppendJsonNumber(out, ModifiedMs(entry.lastWriteTime));
    if (!isDir) {
        const MimeInfo mime = MimeForName(entry.name);
        out += ",\"kind\":";
        AppendJsonString(out, KindName(mime.kind));
        out += mime.inlineSafe ? ",\"inline\":true" : ",\"inline\":false";
    }
    if (folderPath != nullptr) {
        out += ",\"path\":";
        AppendJsonString(out, *folderPath);
    }
    out += '}';
}

} // namespace Velto::Corvane
