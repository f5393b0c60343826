#include "widget/render/text_layout.h"

#include "base/utf.h"
#include "widget/render/pango_context.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace Velto::Widget {
namespace {

int ToPango(float dips) {
    return static_cast<int>(std::lround(static_cast<double>(dips) * PANGO_SCALE));
}

float FromPango(int units) {
    return static_cast<float>(units) / PANGO_SCALE;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// UTF-8 for Pango, recording where each UTF-16 index starts; both halves of a
// surrogate pair map to the start of their character.
std::string ToUtf8WithOffsets(std::u16string_view text, std::vector<std::uint32_t>& offsets) {
    std::string utf8;
    utf8.reserve(text.size() * 3);
    offsets.assign(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size();) {
        const auto start = static_cast<std::uint32_t>(utf8.size());
        offsets[i] = start;
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                                (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(utf8, cp);
            offsets[i + 1] = start;
            i += 2;
            continue;
        }
        // Lone surrogates and NUL are not valid in Pango's text.
        const bool invalid = c == 0 || IsHighSurrogate(c) || IsLowSurrogate(c);
        AppendUtf8(utf8, invalid ? U'\uFFFD' : static_cast<char32_t>(c));
        ++i;
    }
    offsets[text.size()] = static_cast<std::uint32_t>(utf8.size());
    return utf8;
}

float AlignmentFactor(TextAlignment a) {
    switch (a) {
    case TextAlignment::Center:
        return 0.5f;
    case TextAlignment::Trailing:
        return 1.0f;
    default:
        return 0.0f;
    }
}

float ParagraphFactor(ParagraphAlignment a) {
    switch (a) {
    case ParagraphAlignment::Center:
        return 0.5f;
    case ParagraphAlignment::Far:
        return 1.0f;
    default:
        return 0.0f;
    }
}

PangoAlignment ToPangoAlignment(TextAlignment a) {
    switch (a) {
    case TextAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case TextAlignment::Trailing:
        return PANGO_ALIGN_RIGHT;
    default:
        return PANGO_ALIGN_LEFT;
    }
}

bool IsHangul(char16_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF);
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == 0x3000 || c == 0x00A0;
}

// Korean is set word by word: lines break at the spaces between words, not
// between the syllables of one (what the line-breaking rules would allow).
// Each run without spaces that holds Hangul is kept whole.
void KeepKoreanWordsWhole(PangoLayout* layout, std::u16string_view text,
                          const std::vector<std::uint32_t>& byteOffsets) {
    PangoAttrList* attributes = nullptr;
    for (std::size_t i = 0; i < text.size();) {
        if (IsSpace(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        bool hangul = false;
        while (end < text.size() && !IsSpace(text[end]))
            hangul = IsHangul(text[end++]) || hangul;
        if (hangul && end - i > 1) {
            if (attributes == nullptr)
                attributes = pango_attr_list_new();
            PangoAttribute* keep = pango_attr_allow_breaks_new(FALSE);
            keep->start_index = byteOffsets[i];
            keep->end_index = byteOffsets[end];
            pango_attr_list_insert(attributes, keep);
        }
        i = end;
    }
    if (attributes == nullptr)
        return;
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
}

} // namespace

TextLayout::TextLayout(std::u16string_view text, const TextFormat& format,
                       const TextOptions& options, float maxWidth, float maxHeight)
    : m_text(text), m_format(format), m_options(options), m_maxWidth(maxWidth),
      m_maxHeight(maxHeight) {
    m_layout = pango_layout_new(SharedPangoContext());
    const std::string utf8 = ToUtf8WithOffsets(m_text, m_byteOffsets);
    pango_layout_set_text(m_layout, utf8.data(), static_cast<int>(utf8.size()));

    PangoFontDescription* font = pango_font_description_new();
    const std::string family(format.family);
    pango_font_description_set_family(font, family.c_str());
    pango_font_description_set_absolute_size(font, static_cast<double>(format.size) * PANGO_SCALE);
    pango_font_description_set_weight(font, static_cast<PangoWeight>(format.weight));
    pango_layout_set_font_description(m_layout, font);
    pango_font_description_free(font);

    const bool boundedWidth = std::isfinite(maxWidth) && maxWidth >= 0;
    const bool wraps = options.wrapping != TextWrapping::None;
    const bool trims = options.trimming != TextTrimming::None;
    // Pango aligns inside its width only when it also wraps or ellipsizes at
    // that width; an unwrapped line is aligned here through the draw offset.
    const bool pangoWidth = boundedWidth && (wraps || trims);
    pango_layout_set_alignment(m_layout, ToPangoAlignment(options.alignment));
    pango_layout_set_justify(m_layout, options.alignment == TextAlignment::Justified);
    if (pangoWidth) {
        pango_layout_set_width(m_layout, ToPango(maxWidth));
        pango_layout_set_wrap(m_layout, options.wrapping == TextWrapping::EmergencyBreak
                                            ? PANGO_WRAP_WORD_CHAR
                                            : PANGO_WRAP_WORD);
        if (wraps)
            KeepKoreanWordsWhole(m_layout, m_text, m_byteOffsets);
        if (trims) {
            pango_layout_set_ellipsize(m_layout, PANGO_ELLIPSIZE_END);
            if (wraps && std::isfinite(maxHeight))
                pango_layout_set_height(m_layout, ToPango(maxHeight));
        }
    }

    PangoRectangle logical{};
    pango_layout_get_extents(m_layout, nullptr, &logical);
    m_size = SizeF{FromPango(logical.width), FromPango(logical.height)};
    if (boundedWidth && !pangoWidth)
        m_drawOffset.x = (maxWidth - m_size.width) * AlignmentFactor(options.alignment);
    if (std::isfinite(maxHeight))
        m_drawOffset.y = (maxHeight - m_size.height) * ParagraphFactor(options.paragraphAlignment);
}

TextLayout::~TextLayout() {
    if (m_layout != nullptr)
        g_object_unref(m_layout);
}

int TextLayout::LineCount() const {
    return pango_layout_get_line_count(m_layout);
}

std::vector<std::size_t> TextLayout::LineStarts() const {
    std::vector<std::size_t> starts;
    for (GSList* l = pango_layout_get_lines_readonly(m_layout); l != nullptr; l = l->next)
        starts.push_back(Utf16Index(static_cast<const PangoLayoutLine*>(l->data)->start_index));
    return starts;
}

bool TextLayout::IsTrimmed() const {
    return pango_layout_is_ellipsized(m_layout) != FALSE;
}

int TextLayout::UnknownGlyphCount() const {
    return pango_layout_get_unknown_glyphs_count(m_layout);
}

int TextLayout::ByteIndex(std::size_t position) const {
    return static_cast<int>(m_byteOffsets[std::min(position, m_text.size())]);
}

std::size_t TextLayout::Utf16Index(int byteIndex) const {
    const auto it = std::lower_bound(m_byteOffsets.begin(), m_byteOffsets.end(),
                                     static_cast<std::uint32_t>(std::max(byteIndex, 0)));
    return static_cast<std::size_t>(it - m_byteOffsets.begin());
}

TextLayout::HitTestResult TextLayout::HitTestPoint(PointF point) const {
    int index = 0;
    int trailing = 0;
    const gboolean inside =
        pango_layout_xy_to_index(m_layout, ToPango(point.x - m_drawOffset.x),
                                 ToPango(point.y - m_drawOffset.y), &index, &trailing);
    return HitTestResult{Utf16Index(index), trailing > 0, inside != FALSE};
}

RectF TextLayout::CaretRect(std::size_t position, bool trailing) const {
    position = std::min(position, m_text.size());
    if (trailing && position < m_text.size())
        position += (IsHighSurrogate(m_text[position]) && position + 1 < m_text.size()) ? 2 : 1;
    PangoRectangle strong{};
    pango_layout_get_cursor_pos(m_layout, ByteIndex(position), &strong, nullptr);
    return RectF{FromPango(strong.x) + m_drawOffset.x, FromPango(strong.y) + m_drawOffset.y, 0,
                 FromPango(strong.height)};
}

} // namespace Velto::Widget
