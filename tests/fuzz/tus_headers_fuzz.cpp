// The headers of resumable uploads (Upload-Metadata with its base64 values,
// Upload-Length and Upload-Offset) and the upload records read back from the
// data folder at start-up. The first byte picks the parser; whatever any of
// them accepts must read back the same after being written again.
#include "base/base64.h"
#include "webapp/uploads/tus_headers.h"
#include "webapp/uploads/upload_record.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

using namespace Velto::Corvane;

namespace {

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<std::uint8_t>(bytes[i + 2]);
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return out;
}

void CheckMetadata(std::string_view text) {
    const auto pairs = ParseUploadMetadata(text);
    if (!pairs)
        return;
    if (pairs->size() > kMaxMetadataPairs)
        std::abort();
    std::string again;
    for (const auto& [key, value] : *pairs) {
        if (key.empty())
            std::abort();
        for (const char c : key) {
            if (c <= ' ' || c >= 0x7F || c == ',')
                std::abort();
        }
        if (!again.empty())
            again += ',';
        again += key;
        if (!value.empty())
            again += ' ' + EncodeBase64(value);
    }
    const auto reread = ParseUploadMetadata(again);
    if (!reread || *reread != *pairs)
        std::abort();
}

void CheckSize(std::string_view text) {
    const auto size = ParseTusSize(text);
    if (!size)
        return;
    if (*size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        std::abort();
    std::string_view digits = text;
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    if (std::to_string(*size) != digits)
        std::abort();
}

void CheckBase64(std::string_view text) {
    const auto bytes = Velto::DecodeBase64(text);
    // One text for one value: what decodes encodes back to the same text.
    if (bytes && EncodeBase64(*bytes) != text)
        std::abort();
}

void CheckRecord(std::string_view text) {
    const auto record = ParseUploadRecord(text);
    if (!record)
        return;
    const auto again = ParseUploadRecord(SerializeUploadRecord(*record));
    if (!again || again->kind != record->kind || again->folder != record->folder ||
        again->temp != record->temp || again->length != record->length ||
        again->offset != record->offset || again->boot != record->boot ||
        again->owner != record->owner || again->touchedUnix != record->touchedUnix ||
        again->overwrite != record->overwrite || again->offset > again->length)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        CheckMetadata(text);
        break;
    case 1:
        CheckSize(text);
        break;
    case 2:
        CheckBase64(text);
        break;
    default:
        CheckRecord(text);
        break;
    }
    return 0;
}
