#include "app/desktop/qr/qr_view.h"

#include "base/utf.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace App {
namespace {

using Velto::Widget::RectF;
using Velto::Widget::SizeF;

// Light modules the symbol keeps on every side, counted into the module size.
constexpr std::int32_t kQuietModules = 4;
constexpr std::int32_t kBytesPerPixel = 4;
constexpr float kBitmapDpi = 96.0f;
constexpr Velto::Widget::Color kWhite{1, 1, 1, 1};

} // namespace

QrView::QrView(float size) : m_size(size) {}

void QrView::SetText(std::u16string text) {
    if (text == m_text)
        return;
    m_text = std::move(text);
    const std::string bytes = Velto::Utf16ToUtf8(m_text);
    m_symbol =
        EncodeQr({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, QrLevel::M);
    m_bitmap.reset();
    SetAccessibleName(u"QR " + m_text);
    RequestRedraw();
}

SizeF QrView::MeasureOverride(SizeF) {
    return SizeF{m_size, m_size};
}

void QrView::Draw(Velto::Widget::Canvas& canvas) {
    const float width = ActualWidth();
    const float height = ActualHeight();
    canvas.FillRect(RectF{0, 0, width, height}, kWhite);
    if (!m_symbol.ok)
        return;

    const std::int32_t modules = m_symbol.size;
    if (!m_bitmap) {
        const std::int32_t stride = modules * kBytesPerPixel;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride * modules), 255);
        for (std::int32_t y = 0; y < modules; ++y) {
            for (std::int32_t x = 0; x < modules; ++x) {
                if (!m_symbol.Dark(x, y))
                    continue;
                const std::size_t at = static_cast<std::size_t>(y * stride + x * kBytesPerPixel);
                pixels[at] = 0;     // blue
                pixels[at + 1] = 0; // green
                pixels[at + 2] = 0; // red; alpha stays opaque
            }
        }
        m_bitmap = canvas.CreateBitmap(modules, modules, stride, pixels, kBitmapDpi);
        if (!m_bitmap)
            return;
    }

    // Whole device pixels per module, with room for the quiet zone; a view too
    // small for that still draws one pixel per module, overflowing evenly.
    const float scale = DpiScale();
    const float modulePixels =
        std::max(1.0f, std::floor(std::min(width, height) * scale /
                                  static_cast<float>(modules + 2 * kQuietModules)));
    const float edge = modulePixels * static_cast<float>(modules) / scale;
    // The corner goes onto a pixel boundary; the edge is whole pixels already
    // and keeps its length, so that no module comes out a pixel wider.
    RectF square = canvas.SnapToPixels(RectF{(width - edge) / 2, (height - edge) / 2, edge, edge});
    square.width = edge;
    square.height = edge;
    const RectF source{0, 0, static_cast<float>(modules), static_cast<float>(modules)};
    canvas.DrawBitmap(*m_bitmap, source, square, 1.0f,
                      Velto::Widget::Interpolation::NearestNeighbor);
}

} // namespace App
