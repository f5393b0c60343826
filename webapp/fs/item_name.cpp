#include "webapp/fs/item_name.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"

#include <array>

namespace Velto::Corvane {

namespace {

constexpr std::u16string_view kForbiddenUnits = u"\"*/:<>?\\|";
constexpr std::array<std::u16string_view, 6> kReservedNames = {u"CON", u"PRN",    u"AUX",
                                                               u"NUL", u"CONIN$", u"CONOUT$"};
constexpr std::size_t kNumberedDeviceLength = 4;
constexpr std::size_t kShortestDeviceName = 3;
constexpr std::size_t kLongestDeviceName = 7;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool IsDeviceDigit(char16_t unit) {
    return (unit >= u'0' && unit <= u'9') || unit == 0x00B9 || unit == 0x00B2 || unit == 0x00B3;
}

char16_t UpperAscii(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
}

// Bytes the text takes in UTF-8; the text is well-formed.
std::size_t Utf8Length(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (IsHighSurrogate(unit)) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

} // namespace

bool IsWellFormedUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1]))
                return false;
            ++i;
        } else if (IsLowSurrogate(unit)) {
            return false;
        }
    }
    return true;
}

bool IsReservedDeviceName(std::u16string_view name) {
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ')
        stem.remove_suffix(1);
    // Every device name is 3 to 7 units long; most names are not, and leave here.
    if (stem.size() < kShortestDeviceName || stem.size() > kLongestDeviceName)
        return false;

    std::array<char16_t, kLongestDeviceName> buffer{};
    for (std::size_t i = 0; i < stem.size(); ++i)
        buffer[i] = UpperAscii(stem[i]);
    const std::u16string_view upper(buffer.data(), stem.size());

    for (const std::u16string_view reserved : kReservedNames) {
        if (upper == reserved)
            return true;
    }
    if (upper.size() != kNumberedDeviceLength)
        return false;
    const std::u16string_view head = upper.substr(0, 3);
    return (head == u"COM" || head == u"LPT") && IsDeviceDigit(upper.back());
}

bool IsValidItemName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxItemNameUnits)
        return false;
    if (name == u"." || name == u"..")
        return false;
    for (const char16_t unit : name) {
        if (unit < 0x20 || unit == 0x7F)
            return false;
        // Every forbidden unit is ASCII punctuation below 0x80.
        if (unit < 0x80 && kForbiddenUnits.find(unit) != std::u16string_view::npos)
            return false;
    }
    if (name.back() == u'.' || name.back() == u' ')
        return false;
    if (!IsWellFormedUtf16(name) || Utf8Length(name) > kMaxItemNameBytes)
        return false;
    return !IsReservedDeviceName(name);
}

bool IsUploadTempName(std::u16string_view name) {
    return name.size() >= kUploadTempPrefix.size() &&
           EqualsIgnoreCase(name.substr(0, kUploadTempPrefix.size()), kUploadTempPrefix);
}

bool IsHiddenName(std::u16string_view name) {
    return !name.empty() && name.front() == u'.';
}

std::optional<PathComponents> ParseSharePath(std::u16string_view text) {
    if (!text.empty() && text.front() == u'/')
        text.remove_prefix(1);
    if (!text.empty() && text.back() == u'/')
        text.remove_suffix(1);

    PathComponents components;
    if (text.empty())
        return components;

    std::size_t start = 0;
    while (true) {
        const std::size_t slash = text.find(u'/', start);
        const std::u16string_view piece = text.substr(start, slash - start);
        if (!IsValidItemName(piece) || components.size() == kMaxPathComponents)
            return std::nullopt;
        components.emplace_back(piece);
        if (slash == std::u16string_view::npos)
            break;
        start = slash + 1;
    }
    return components;
}

std::optional<std::u16string> ItemNameFromBytes(std::string_view bytes) {
    std::u16string name;
    if (!Utf8ToUtf16Strict(bytes, name) || !IsValidItemName(name))
        return std::nullopt;
    return name;
}

std::u16string JoinComponents(const PathComponents& components) {
    std::u16string text;
    for (const std::u16string& component : components) {
        if (!text.empty())
            text += u'/';
        text += component;
    }
    return text;
}

} // namespace Velto::Corvane
