#include "app/desktop/tray/tray_icons.h"

#include "widget/render/cairo_canvas.h"
#include "widget/render/canvas.h"
#include "widget/render/color.h"

#include <cstdint>
#include <vector>

namespace App {

using namespace Velto::Widget;

namespace {

// The drawing is laid out on a 32-unit grid and scaled to the size asked for.
constexpr float kGrid = 32;
constexpr int kBytesPerPixel = 4;

constexpr Color kRunningTile = Color::FromRgb8(0, 120, 212);
constexpr Color kStoppedTile = Color::FromRgb8(118, 118, 118);
constexpr Color kRunningMark = Color::FromRgb8(16, 185, 92);
constexpr Color kFolderFront = Color::FromRgb8(255, 255, 255);
// The folder's back, a pale shade of the tile.
constexpr Color kRunningFolderBack = Color::FromRgb8(179, 215, 243);
constexpr Color kStoppedFolderBack = Color::FromRgb8(208, 208, 208);

} // namespace

void DrawProgramIcon(Canvas& canvas, float size, bool running) {
    const float u = size / kGrid;
    const auto box = [u](float x, float y, float w, float h) {
        return RectF{x * u, y * u, w * u, h * u};
    };
    canvas.FillRoundedRect(box(1, 1, 30, 30), 7 * u, running ? kRunningTile : kStoppedTile);
    // The folder: its tab and back, then the front leaf.
    const Color back = running ? kRunningFolderBack : kStoppedFolderBack;
    canvas.FillRoundedRect(box(6, 8, 9, 5), 1.5f * u, back);
    canvas.FillRoundedRect(box(6, 10, 20, 14), 2 * u, back);
    canvas.FillRoundedRect(box(6, 13, 20, 12), 2 * u, kFolderFront);
    if (running) {
        // A lit dot in the corner: the server is on.
        canvas.FillEllipse(PointF{24.5f * u, 24.5f * u}, 6 * u, 6 * u, kFolderFront);
        canvas.FillEllipse(PointF{24.5f * u, 24.5f * u}, 4.2f * u, 4.2f * u, kRunningMark);
    } else {
        // A bar across the folder: the server is off.
        canvas.FillRoundedRect(box(11, 18, 10, 2.5f), 1.25f * u, kStoppedTile);
    }
}

std::shared_ptr<const Bitmap> ProgramIconBitmap(int pixelSize, bool running) {
    if (pixelSize < 1 || pixelSize > kMaxProgramIconPixels)
        return nullptr;
    const int stride = pixelSize * kBytesPerPixel;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * pixelSize, 0);
    {
        // One pixel per DIP; the canvas is finished before the pixels are read.
        CairoCanvas canvas(pixels.data(), pixelSize, pixelSize, stride, 1.0f);
        if (!canvas.IsValid())
            return nullptr;
        DrawProgramIcon(canvas, static_cast<float>(pixelSize), running);
    }
    return Bitmap::FromBgra(pixelSize, pixelSize, stride, pixels);
}

Kit::TrayIconImage TrayIconFor(bool running) {
    Kit::TrayIconImage image;
    image.provider = [running](int pixelSize) { return ProgramIconBitmap(pixelSize, running); };
    return image;
}

} // namespace App
