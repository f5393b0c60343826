#pragma once

#include "widget/core/widget.h"
#include "widget/render/text_format.h"
#include "widget/render/text_layout.h"

#include <memory>
#include <string>

namespace Velto::Widget {

enum class TextStyle : std::int32_t { Body = 0, Caption = 1, Subtitle = 2, Display = 3 };

// The font a text style stands for in a theme (the bold flag makes any style
// semibold).
TextFormat FormatForStyle(const Theme& theme, TextStyle style, bool bold);

// Read-only text in one of the text styles and tones.
class Label : public Widget {
public:
    static constexpr float kDisplaySize = 28;

    explicit Label(std::u16string text = {}, TextStyle style = TextStyle::Body)
        : m_text(std::move(text)), m_style(style) {}

    const std::u16string& Text() const { return m_text; }
    void SetText(std::u16string text);
    void SetStyle(TextStyle style);
    void SetTone(Tone tone);
    void SetBold(bool bold);
    void SetWrap(bool wrap);
    void SetTrimming(bool trimming);
    void SetAlignment(TextAlignment alignment);
    // The widget its access key focuses (none: the next focusable widget).
    void SetTarget(Widget* target) { m_target = target; }
    Widget* Target() const { return m_target; }

    // The layout drawn last (none before the first measure).
    const TextLayout* Layout() const { return m_layout.get(); }

    std::string_view ClassName() const override { return "Label"; }
    void OnThemeChanged() override { m_layout.reset(); }
    void DropDeviceResources() override { m_layout.reset(); }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void Draw(Canvas& canvas) override;

private:
    // Rebuilds the layout unless it was built for this width already.
    void EnsureLayout(float maxWidth);
    bool NeedsWidth() const;
    void TextChanged();

    std::u16string m_text;
    TextStyle m_style{TextStyle::Body};
    Tone m_tone{Tone::Primary};
    bool m_bold{false};
    bool m_wrap{false};
    bool m_trimming{false};
    TextAlignment m_alignment{TextAlignment::Leading};
    Widget* m_target{nullptr};
    std::unique_ptr<TextLayout> m_layout;
};

} // namespace Velto::Widget
