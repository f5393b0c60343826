#include "widget/input/headless_host.h"

#include "widget/core/widget.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

constexpr int kMaxPassesPerInstant = 1000;

} // namespace

HeadlessHost::HeadlessHost(Widget& root, const Theme& theme, float dpiScale) {
    SetTheme(theme);
    SetDpiScale(dpiScale > 0 ? dpiScale : 1.0f);
    AttachRoot(root);
}

HeadlessHost::~HeadlessHost() {
    ReleaseRoot();
}

void HeadlessHost::Layout(SizeF size) {
    SetClientSize(size);
    UpdateLayout();
}

bool HeadlessHost::RenderFrame(CairoCanvas& canvas, SizeF size) {
    SetClientSize(size);
    return Frame(canvas);
}

std::unique_ptr<CairoCanvas> HeadlessHost::Render(SizeF size) {
    auto canvas = std::make_unique<CairoCanvas>(
        static_cast<int>(std::ceil(size.width * DpiScale())),
        static_cast<int>(std::ceil(size.height * DpiScale())), DpiScale());
    if (!canvas->IsValid())
        return nullptr;
    RenderFrame(*canvas, size);
    return canvas;
}

Result HeadlessHost::RenderToPng(SizeF size, const std::string& path) {
    const std::unique_ptr<CairoCanvas> canvas = Render(size);
    return canvas ? canvas->WritePng(path) : kOutOfMemory;
}

void HeadlessHost::AdvanceTime(double seconds) {
    const double end = m_now + std::max(seconds, 0.0);
    // Each firing happens at the time the native timer was armed for, so
    // that repeating timers see the clock they would see in a window. A
    // callback that keeps starting timers of no delay would hold the clock
    // still for ever; after a bounded number of passes the clock moves on.
    int passesAtThisInstant = 0;
    while (m_nativeTimerDue && *m_nativeTimerDue <= end) {
        const double at = std::max(m_now, *m_nativeTimerDue);
        passesAtThisInstant = at == m_now ? passesAtThisInstant + 1 : 1;
        if (passesAtThisInstant > kMaxPassesPerInstant)
            break;
        m_now = at;
        FireTimers();
    }
    m_now = end;
}

void HeadlessHost::ArmNativeTimer(double seconds) {
    m_nativeTimerDue = m_now + seconds;
}

void HeadlessHost::ShowTooltip(std::u16string_view text, PointF pointer) {
    m_shownTooltip = std::u16string(text);
    m_tooltipPoint = pointer;
}

Result RenderToPng(Widget& root, SizeF size, float dpiScale, const Theme& theme,
                   const std::string& path) {
    if (root.Parent() != nullptr || root.GetHost() != nullptr)
        return kInvalidArg;
    HeadlessHost host(root, theme, dpiScale);
    return host.RenderToPng(size, path);
}

} // namespace Velto::Widget
