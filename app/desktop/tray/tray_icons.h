#pragma once

#include "widget/render/bitmap.h"
#include "widget/tray/tray_icon_image.h"

#include <memory>

namespace Velto::Widget {
class Canvas;
}

namespace App {

// The program's icon: a rounded tile with a shared folder on it, blue while
// the server runs and grey while it is stopped, so that the panel tells the
// state at a glance. Drawn from shapes at every size asked for rather than
// scaled from one picture, which keeps the small sizes sharp.

// Draws the icon into the square of `size` DIPs at the canvas origin.
void DrawProgramIcon(Velto::Widget::Canvas& canvas, float size, bool running);

// The icon as a bitmap of `pixelSize` square pixels; none for a size outside
// 1..kMaxProgramIconPixels or when no memory is left.
inline constexpr int kMaxProgramIconPixels = 1024;
std::shared_ptr<const Velto::Widget::Bitmap> ProgramIconBitmap(int pixelSize, bool running);

// The tray icon for the server's state, drawn for each size the panel asks
// for.
Velto::Widget::Kit::TrayIconImage TrayIconFor(bool running);

} // namespace App
