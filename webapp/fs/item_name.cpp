#include "webapp/fs/item_name.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"

namespace Velto::Corvane {

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
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

bool IsValidItemName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxItemNameUnits)
        return false;
    if (name == u"." || name == u"..")
        return false;
    // Everything else Linux allows in a name is a name here: " * : < > ? \ |,
    // a trailing dot or space and the old device names (CON, aux.c) are
    // ordinary. Controls and DEL stay out: they would reach terminals, logs
    // and headers.
    for (const char16_t unit : name) {
        if (unit < 0x20 || unit == 0x7F || unit == u'/')
            return false;
    }
    return IsWellFormedUtf16(name) && Utf8Length(name) <= kMaxItemNameBytes;
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
