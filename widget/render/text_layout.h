#pragma once

#include "widget/render/geometry.h"
#include "widget/render/text_format.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

typedef struct _PangoLayout PangoLayout;

namespace Velto::Widget {

// One laid-out paragraph set: shaped by HarfBuzz through Pango, with fonts
// found by fontconfig. Built in DIPs and independent of the DPI scale it is
// later drawn at (metrics are not hinted).
class TextLayout {
public:
    static constexpr float kUnbounded = std::numeric_limits<float>::infinity();

    // maxWidth and maxHeight bound the layout box; wrapping, trimming and the
    // alignments work inside it.
    TextLayout(std::u16string_view text, const TextFormat& format, const TextOptions& options,
               float maxWidth = kUnbounded, float maxHeight = kUnbounded);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // The laid-out size: the widest line by the height of all lines.
    SizeF Size() const { return m_size; }
    float MaxWidth() const { return m_maxWidth; }
    float MaxHeight() const { return m_maxHeight; }
    int LineCount() const;
    // Where each line begins (UTF-16 indices; the first is 0).
    std::vector<std::size_t> LineStarts() const;
    bool IsTrimmed() const;
    // Glyphs that no installed font has.
    int UnknownGlyphCount() const;
    const std::u16string& Text() const { return m_text; }
    const TextFormat& Format() const { return m_format; }
    const TextOptions& Options() const { return m_options; }

    struct HitTestResult {
        std::size_t position{0}; // UTF-16 index of the character under the point
        bool trailing{false};    // the point lies on that character's trailing half
        bool inside{false};      // the point lies on text
    };
    HitTestResult HitTestPoint(PointF point) const;
    // The caret box before (or, trailing, after) the character at `position`,
    // zero wide and one line high.
    RectF CaretRect(std::size_t position, bool trailing = false) const;

    // Where the layout's origin goes relative to the point it is drawn at
    // (alignment inside a bounded box that the shaping engine cannot express).
    PointF DrawOffset() const { return m_drawOffset; }
    PangoLayout* NativeLayout() const { return m_layout; }

private:
    int ByteIndex(std::size_t position) const;
    std::size_t Utf16Index(int byteIndex) const;

    std::u16string m_text;
    TextFormat m_format;
    TextOptions m_options;
    float m_maxWidth{kUnbounded};
    float m_maxHeight{kUnbounded};
    PangoLayout* m_layout{nullptr};
    SizeF m_size;
    PointF m_drawOffset;
    // The UTF-8 byte offset of every UTF-16 index, plus one for the end.
    std::vector<std::uint32_t> m_byteOffsets;
};

} // namespace Velto::Widget
