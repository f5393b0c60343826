#pragma once

#include "widget/render/bitmap.h"

#include <memory>
#include <string>

namespace Velto::Widget::Kit {

// Whether SVG icons can be drawn in this build.
bool CanDrawSvgIcons();

// An icon file (PNG, or SVG when it can be drawn) drawn into a square of
// `size` pixels, its aspect kept and centred; none when it cannot be read.
std::shared_ptr<const Bitmap> LoadIconImage(const std::string& path, int size);

} // namespace Velto::Widget::Kit
