#pragma once

#include "base/result.h"
#include "widget/render/geometry.h"

#include <string>

namespace Velto::Widget {
class InputRouter;
}

namespace App {

// Renders what a window (or any host) shows at a client size of `size` DIPs
// into a PNG file, without a display: the tree is laid out at that size and
// drawn with the host's theme and DPI scale. Running animations are let
// finish first, for at most kCaptureSettleSeconds.
inline constexpr double kCaptureSettleSeconds = 2.0;
Velto::Result CaptureHostToPng(Velto::Widget::InputRouter& host, Velto::Widget::SizeF size,
                               const std::string& path);

} // namespace App
