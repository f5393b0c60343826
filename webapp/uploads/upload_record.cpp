#include "webapp/uploads/upload_record.h"

#include "base/utf.h"
#include "json/json.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace Velto::Corvane {

namespace {

constexpr std::int32_t kRecordDepth = 4;
constexpr std::size_t kRecordValues = 64;

// Numbers beyond 2^53 do not survive a JSON double, so sizes are kept as text.
JsonValue NumberText(std::uint64_t value) {
    return JsonValue(std::to_string(value));
}

std::optional<std::uint64_t> ReadNumberText(const JsonValue& object, std::string_view key) {
    const JsonValue* value = object.Find(key);
    if (value == nullptr || value->Kind() != JsonKind::String)
        return std::nullopt;
    const std::string& text = value->AsString();
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return number;
}

const std::string* ReadText(const JsonValue& object, std::string_view key) {
    const JsonValue* value = object.Find(key);
    if (value == nullptr || value->Kind() != JsonKind::String)
        return nullptr;
    return &value->AsString();
}

} // namespace

std::string SerializeUploadRecord(const UploadRecord& record) {
    JsonValue object = JsonValue::MakeObject();
    object.Set("kind", JsonValue(record.kind == UploadRecord::Kind::Put ? "put" : "tus"));
    object.Set("folder", JsonValue(record.folder));
    object.Set("temp", JsonValue(record.temp));
    if (record.kind == UploadRecord::Kind::Resumable) {
        object.Set("shareId", JsonValue(record.shareId));
        object.Set("share", JsonValue(Utf16ToUtf8(record.shareName)));
        object.Set("path", JsonValue(Utf16ToUtf8(record.itemPath)));
        object.Set("length", NumberText(record.length));
        object.Set("offset", NumberText(record.offset));
        object.Set("boot", JsonValue(record.boot));
        object.Set("owner", JsonValue(record.owner));
        object.Set("user", JsonValue(Utf16ToUtf8(record.user)));
        object.Set("overwrite", JsonValue(record.overwrite));
        object.Set("touched", NumberText(static_cast<std::uint64_t>(
                                  std::max<std::int64_t>(0, record.touchedUnix))));
    }
    return SerializeJson(object, false);
}

std::optional<UploadRecord> ParseUploadRecord(std::string_view text) {
    auto [object, ok] = ParseJson(text, kRecordDepth, kRecordValues);
    if (!ok || object.Kind() != JsonKind::Object)
        return std::nullopt;
    const std::string* kind = ReadText(object, "kind");
    const std::string* folder = ReadText(object, "folder");
    const std::string* temp = ReadText(object, "temp");
    if (kind == nullptr || folder == nullptr || temp == nullptr)
        return std::nullopt;
    UploadRecord record;
    record.folder = *folder;
    record.temp = *temp;
    if (*kind == "put") {
        record.kind = UploadRecord::Kind::Put;
        return record;
    }
    if (*kind != "tus")
        return std::nullopt;
    const std::string* shareId = ReadText(object, "shareId");
    const std::string* share = ReadText(object, "share");
    const std::string* path = ReadText(object, "path");
    const std::string* owner = ReadText(object, "owner");
    const std::string* user = ReadText(object, "user");
    const std::optional<std::uint64_t> length = ReadNumberText(object, "length");
    const std::optional<std::uint64_t> offset = ReadNumberText(object, "offset");
    const std::optional<std::uint64_t> touched = ReadNumberText(object, "touched");
    const JsonValue* overwrite = object.Find("overwrite");
    if (shareId == nullptr || share == nullptr || path == nullptr || owner == nullptr ||
        user == nullptr || !length || !offset || !touched || *offset > *length ||
        *touched > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ||
        overwrite == nullptr || overwrite->Kind() != JsonKind::Bool)
        return std::nullopt;
    record.shareId = *shareId;
    record.shareName = Utf8ToUtf16(*share);
    record.itemPath = Utf8ToUtf16(*path);
    record.length = *length;
    record.offset = *offset;
    // Records of older runs may lack it: their boot is unknown.
    if (const std::string* boot = ReadText(object, "boot"))
        record.boot = *boot;
    record.owner = *owner;
    record.user = Utf8ToUtf16(*user);
    record.overwrite = overwrite->AsBool();
    record.touchedUnix = static_cast<std::int64_t>(*touched);
    return record;
}

} // namespace Velto::Corvane
