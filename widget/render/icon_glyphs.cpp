#include "widget/render/icon_glyphs.h"

#include <algorithm>
#include <array>

namespace Velto::Widget {
namespace {

struct GlyphPair {
    char32_t segoe;
    char32_t material;
};

// Sorted by the Segoe code point; the comment names the Material icon.
constexpr std::array kGlyphs{
    GlyphPair{0xE70D, 0xE5CF}, // ChevronDown      -> expand_more
    GlyphPair{0xE70E, 0xE5CE}, // ChevronUp        -> expand_less
    GlyphPair{0xE70F, 0xE3C9}, // Edit             -> edit
    GlyphPair{0xE710, 0xE145}, // Add              -> add
    GlyphPair{0xE711, 0xE5CD}, // Cancel           -> close
    GlyphPair{0xE713, 0xE8B8}, // Setting          -> settings
    GlyphPair{0xE716, 0xE7FB}, // People           -> people
    GlyphPair{0xE71B, 0xE157}, // Link             -> link
    GlyphPair{0xE72B, 0xE5C4}, // Back             -> arrow_back
    GlyphPair{0xE72D, 0xE80D}, // Share            -> share
    GlyphPair{0xE72E, 0xE897}, // Lock             -> lock
    GlyphPair{0xE73E, 0xE5CA}, // CheckMark        -> check
    GlyphPair{0xE74D, 0xE872}, // Delete           -> delete
    GlyphPair{0xE768, 0xE037}, // Play             -> play_arrow
    GlyphPair{0xE76B, 0xE5CB}, // ChevronLeft      -> chevron_left
    GlyphPair{0xE76C, 0xE5CC}, // ChevronRight     -> chevron_right
    GlyphPair{0xE7BA, 0xE002}, // Warning          -> warning
    GlyphPair{0xE81C, 0xE889}, // History          -> history
    GlyphPair{0xE838, 0xE2C8}, // FolderOpen       -> folder_open
    GlyphPair{0xE895, 0xE627}, // Sync             -> sync
    GlyphPair{0xE897, 0xE887}, // Help             -> help
    GlyphPair{0xE8A5, 0xE24D}, // Document         -> insert_drive_file
    GlyphPair{0xE8A7, 0xE89E}, // OpenInNewWindow  -> open_in_new
    GlyphPair{0xE8C8, 0xE14D}, // Copy             -> content_copy
    GlyphPair{0xE8F4, 0xE2CC}, // NewFolder        -> create_new_folder
    GlyphPair{0xE946, 0xE88E}, // Info             -> info
    GlyphPair{0xEA39, 0xE000}, // ErrorBadge       -> error
    GlyphPair{0xED14, 0xEF6B}, // QRCode           -> qr_code
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < kGlyphs.size(); ++i)
        if (!(kGlyphs[i - 1].segoe < kGlyphs[i].segoe))
            return false;
    return true;
}
static_assert(IsSorted(), "the glyph table is searched by bisection");

constexpr auto kSegoeCodePoints = [] {
    std::array<char32_t, kGlyphs.size()> out{};
    for (std::size_t i = 0; i < kGlyphs.size(); ++i)
        out[i] = kGlyphs[i].segoe;
    return out;
}();

} // namespace

char32_t MapIconGlyph(char32_t segoeCodePoint) {
    const auto it =
        std::lower_bound(kSegoeCodePoints.begin(), kSegoeCodePoints.end(), segoeCodePoint);
    if (it == kSegoeCodePoints.end() || *it != segoeCodePoint)
        return 0;
    return kGlyphs[static_cast<std::size_t>(it - kSegoeCodePoints.begin())].material;
}

std::span<const char32_t> MappedIconGlyphs() {
    return kSegoeCodePoints;
}

} // namespace Velto::Widget
