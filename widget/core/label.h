#pragma once

#include "widget/core/widget.h"
#include "widget/render/text_format.h"
#include "widget/render/text_layout.h"

#include <cstddef>
#include <memory>
#include <optional>
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

    // An "&" in the text marks the next character as the label's access key
    // (it is not shown); "&&" shows one "&".
    explicit Label(std::u16string text = {}, TextStyle style = TextStyle::Body)
        : m_text(std::move(text)), m_style(style) {
        ParseAccessKey();
    }

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

    // The layout drawn (none before the first measure).
    const TextLayout* Layout() const { return m_current; }

    // The text as shown, without access-key marks.
    const std::u16string& ShownText() const { return m_shown; }
    char32_t AccessKey() const override { return m_accessKey; }
    // Focuses the target, or else the first enabled, visible widget after
    // the label (in its parent's subtree) that takes focus.
    void OnAccessKey() override;

    std::string_view ClassName() const override { return "Label"; }
    void OnThemeChanged() override { DropTextLayouts(); }
    void DropTextLayouts() override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void Draw(Canvas& canvas) override;

private:
    // Picks the layout for this width, building it unless one fits already.
    void EnsureLayout(float maxWidth);
    std::unique_ptr<TextLayout> Build(float maxWidth) const;
    bool NeedsWidth() const;
    void TextChanged();
    void ParseAccessKey();

    std::u16string m_text;
    std::u16string m_shown;
    char32_t m_accessKey{0};
    std::optional<std::size_t> m_underline; // the access key's index in m_shown
    TextStyle m_style{TextStyle::Body};
    Tone m_tone{Tone::Primary};
    bool m_bold{false};
    bool m_wrap{false};
    bool m_trimming{false};
    TextAlignment m_alignment{TextAlignment::Leading};
    Widget* m_target{nullptr};
    // The text laid out without a width, kept while it fits: wrapping and
    // trimming change nothing then, so resizing builds no new layout.
    std::unique_ptr<TextLayout> m_natural;
    // The text laid out in a width (wrapped, trimmed or aligned in it).
    std::unique_ptr<TextLayout> m_bounded;
    const TextLayout* m_current{nullptr};
};

} // namespace Velto::Widget
