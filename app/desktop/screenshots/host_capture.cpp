#include "app/desktop/screenshots/host_capture.h"

#include "widget/input/input_router.h"
#include "widget/render/cairo_canvas.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace App {
namespace {

constexpr auto kSettleStep = std::chrono::milliseconds(16);

} // namespace

Velto::Result CaptureHostToPng(Velto::Widget::InputRouter& host, Velto::Widget::SizeF size,
                               const std::string& path) {
    if (!(size.width > 0) || !(size.height > 0))
        return Velto::kInvalidArg;
    host.SetClientSize(size);
    const float scale = host.DpiScale();
    Velto::Widget::CairoCanvas canvas(static_cast<int>(std::ceil(size.width * scale)),
                                      static_cast<int>(std::ceil(size.height * scale)), scale);
    if (!canvas.IsValid())
        return Velto::kOutOfMemory;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(kCaptureSettleSeconds));
    // Each frame redraws the whole canvas; the last one has settled.
    while (host.Frame(canvas) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kSettleStep);
    return canvas.WritePng(path);
}

} // namespace App
