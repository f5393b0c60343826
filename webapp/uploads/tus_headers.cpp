#include "webapp/uploads/tus_headers.h"

#include "base/base64.h"

#include <cstdint>
#include <limits>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kMaxSizeDigits = 19;

bool IsKeyCharacter(char c) {
    return c > ' ' && c < 0x7F && c != ',';
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::uint64_t> ParseTusSize(std::string_view text) {
    if (text.empty() || text.size() > kMaxSizeDigits)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return value;
}

std::optional<std::map<std::string, std::string, std::less<>>>
ParseUploadMetadata(std::string_view text) {
    std::map<std::string, std::string, std::less<>> pairs;
    if (TrimSpaces(text).empty())
        return pairs;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view pair = TrimSpaces(text.substr(0, comma));
        const std::size_t space = pair.find(' ');
        const std::string_view key = pair.substr(0, space);
        if (key.empty())
            return std::nullopt;
        for (const char c : key) {
            if (!IsKeyCharacter(c))
                return std::nullopt;
        }
        std::string value;
        if (space != std::string_view::npos) {
            std::optional<std::string> decoded = DecodeBase64(pair.substr(space + 1));
            if (!decoded)
                return std::nullopt;
            value = std::move(*decoded);
        }
        if (pairs.size() >= kMaxMetadataPairs ||
            !pairs.emplace(std::string(key), std::move(value)).second)
            return std::nullopt;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return pairs;
}

} // namespace Velto::Corvane
