#include "config/log_text_escape.h"

#include <cstdint>
#include <cstdio>

namespace Velto::Corvane {
namespace {

constexpr std::uint8_t kDelete = 0x7F;
constexpr std::size_t kEscapeTextSize = 16;

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Code points that move, hide or reorder text on a terminal or in a viewer.
// Joiners (U+200C, U+200D) and variation selectors are left alone: names in
// Persian, Indic scripts and emoji need them and they move nothing.
constexpr CodePointRange kEscapedRanges[] = {
    {0x0080, 0x009F},   // C1 controls (CSI, OSC, NEL, ...)
    {0x00AD, 0x00AD},   // soft hyphen, invisible
    {0x061C, 0x061C},   // Arabic letter mark
    {0x180E, 0x180E},   // Mongolian vowel separator, invisible
    {0x200B, 0x200B},   // zero width space
    {0x200E, 0x200F},   // left-to-right and right-to-left marks
    {0x2028, 0x202E},   // line and paragraph separators, embeddings and overrides
    {0x2060, 0x206F},   // word joiner, invisible operators, isolates, deprecated formats
    {0xFEFF, 0xFEFF},   // zero width no-break space
    {0xFFF9, 0xFFFB},   // interlinear annotation, hides the text it annotates
    {0x1D173, 0x1D17A}, // musical format controls
    {0xE0000, 0xE007F}, // tag characters: text that no one sees
};

bool IsEscaped(char32_t cp) {
    for (const CodePointRange& range : kEscapedRanges) {
        if (cp >= range.first && cp <= range.last)
            return true;
    }
    return false;
}

// Decodes one well-formed UTF-8 sequence at `at` of 2 to 4 bytes; returns its
// length, or 0 when the bytes there do not form one (no overlongs, no
// surrogates, nothing above U+10FFFF).
std::size_t DecodeMultibyte(std::string_view text, std::size_t at, char32_t& cp) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<std::uint8_t>(text[at + k]);
        if (b < low || b > high)
            return 0;
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

// Appends units (characters or escapes) and cuts the field once it would
// pass its limit.
class FieldWriter {
public:
    FieldWriter(std::string& out, std::size_t maxBytes)
        : m_out(out), m_start(out.size()), m_maxBytes(maxBytes),
          m_keepBytes(maxBytes > kLogTruncationMark.size() ? maxBytes - kLogTruncationMark.size()
                                                           : 0) {}

    // False once the field has been cut; nothing more is appended then. A
    // divisible unit (printable ASCII) may be cut inside, any other only
    // before or after.
    bool Add(std::string_view unit, bool divisible = false) {
        if (m_cut)
            return false;
        std::size_t length = m_out.size() - m_start;
        if (length + unit.size() <= m_keepBytes) {
            m_out.append(unit);
            return true;
        }
        if (m_overflowAt == kNone) {
            // Until now the field has stayed within m_keepBytes.
            if (divisible) {
                const std::size_t take = m_keepBytes - length;
                m_out.append(unit.substr(0, take));
                unit.remove_prefix(take);
                length += take;
            }
            m_overflowAt = length;
        }
        if (length + unit.size() <= m_maxBytes) {
            m_out.append(unit);
            return true;
        }
        m_out.resize(m_start + m_overflowAt);
        if (kLogTruncationMark.size() <= m_maxBytes)
            m_out.append(kLogTruncationMark);
        m_cut = true;
        return false;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::string& m_out;
    const std::size_t m_start;
    const std::size_t m_maxBytes;
    const std::size_t m_keepBytes;
    // Where the field is cut if it turns out too long: after the last unit
    // that leaves room for the mark.
    std::size_t m_overflowAt{kNone};
    bool m_cut{false};
};

bool AddByteEscape(FieldWriter& writer, std::uint8_t byte) {
    char escape[kEscapeTextSize];
    const int n = std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    return writer.Add({escape, static_cast<std::size_t>(n)});
}

bool AddCodePointEscape(FieldWriter& writer, char32_t cp) {
    char escape[kEscapeTextSize];
    const int n = cp <= 0xFFFF
                      ? std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp))
                      : std::snprintf(escape, sizeof escape, "\\U%08x", static_cast<unsigned>(cp));
    return writer.Add({escape, static_cast<std::size_t>(n)});
}

} // namespace

void AppendLogText(std::string& out, std::string_view text, std::size_t maxBytes) {
    FieldWriter writer{out, maxBytes};
    std::size_t at = 0;
    while (at < text.size()) {
        // Runs of printable ASCII go in one piece.
        std::size_t end = at;
        while (end < text.size()) {
            const auto b = static_cast<std::uint8_t>(text[end]);
            if (b < 0x20 || b >= kDelete)
                break;
            ++end;
        }
        if (end > at) {
            if (!writer.Add(text.substr(at, end - at), true))
                return;
            at = end;
            continue;
        }
        const auto b = static_cast<std::uint8_t>(text[at]);
        bool more = true;
        if (b == '\t' || b == '\n' || b == '\r') {
            more = writer.Add(" ");
            ++at;
        } else if (b < 0x80) {
            more = AddByteEscape(writer, b);
            ++at;
        } else {
            char32_t cp = 0;
            const std::size_t length = DecodeMultibyte(text, at, cp);
            if (length == 0) {
                more = AddByteEscape(writer, b);
                ++at;
            } else {
                more = IsEscaped(cp) ? AddCodePointEscape(writer, cp)
                                     : writer.Add(text.substr(at, length));
                at += length;
            }
        }
        if (!more)
            return;
    }
}

} // namespace Velto::Corvane
