#pragma once

#include "app/qr/qr_encoder.h"
#include "widget/core/widget.h"
#include "widget/render/bitmap.h"

#include <memory>
#include <string>

namespace App {

// A QR symbol of a text (level M), drawn black on white with a quiet zone of
// at least four modules, each module a whole number of device pixels.
class QrView : public Velto::Widget::Widget {
public:
    // `size` is the preferred edge length in DIPs.
    explicit QrView(float size);

    // Encodes the text (as UTF-8); text too long for a symbol leaves only the
    // white background. The same text again changes nothing.
    void SetText(std::u16string text);
    const std::u16string& Text() const { return m_text; }
    bool HasSymbol() const { return m_symbol.ok; }
    const QrSymbol& Symbol() const { return m_symbol; }
    // The symbol as a bitmap of one pixel per module, made at the first draw
    // after the text changed.
    const std::shared_ptr<const Velto::Widget::Bitmap>& CachedBitmap() const { return m_bitmap; }

    std::string_view ClassName() const override { return "QrView"; }
    std::int32_t AccessibilityRole() const override { return Velto::Widget::kRoleImage; }
    bool IsAccessibilityElement() const override { return true; }

protected:
    Velto::Widget::SizeF MeasureOverride(Velto::Widget::SizeF available) override;
    void Draw(Velto::Widget::Canvas& canvas) override;

private:
    float m_size{0};
    std::u16string m_text;
    QrSymbol m_symbol;
    std::shared_ptr<const Velto::Widget::Bitmap> m_bitmap;
};

} // namespace App
