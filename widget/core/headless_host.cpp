#include "widget/core/headless_host.h"

#include "widget/core/widget.h"

#include <cmath>

namespace Velto::Widget {

HeadlessHost::HeadlessHost(Widget& root, const Theme& theme, float dpiScale)
    : m_root(root), m_theme(theme), m_dpiScale(dpiScale > 0 ? dpiScale : 1.0f) {
    m_root.SetRootHost(this);
}

HeadlessHost::~HeadlessHost() {
    if (m_root.GetHost() == this)
        m_root.SetRootHost(nullptr);
}

void HeadlessHost::SetTheme(const Theme& theme) {
    m_theme = theme;
    m_root.NotifyThemeChanged();
}

void HeadlessHost::SetDpiScale(float dpiScale) {
    if (!(dpiScale > 0) || dpiScale == m_dpiScale)
        return;
    m_dpiScale = dpiScale;
    m_root.NotifyThemeChanged();
}

void HeadlessHost::Layout(SizeF size) {
    m_root.Measure(size);
    m_root.Arrange(RectF{0, 0, size.width, size.height});
    m_layoutRequested = false;
}

void HeadlessHost::RenderFrame(CairoCanvas& canvas, SizeF size) {
    Layout(size);
    canvas.Clear(m_theme.windowBackground);
    m_root.Paint(canvas);
    m_paintRequested = false;
}

std::unique_ptr<CairoCanvas> HeadlessHost::Render(SizeF size) {
    auto canvas = std::make_unique<CairoCanvas>(
        static_cast<int>(std::ceil(size.width * m_dpiScale)),
        static_cast<int>(std::ceil(size.height * m_dpiScale)), m_dpiScale);
    if (!canvas->IsValid())
        return nullptr;
    RenderFrame(*canvas, size);
    return canvas;
}

Result HeadlessHost::RenderToPng(SizeF size, const std::string& path) {
    const std::unique_ptr<CairoCanvas> canvas = Render(size);
    return canvas ? canvas->WritePng(path) : kOutOfMemory;
}

bool HeadlessHost::SetFocus(Widget* widget, bool) {
    if (widget != nullptr && (widget->GetHost() != this || !widget->IsVisible() ||
                              !widget->IsEnabled() || !widget->CanFocus()))
        return false;
    if (m_focused != nullptr)
        m_focused->OnFocusChanged(false);
    m_focused = widget;
    if (widget != nullptr) {
        widget->OnFocusChanged(true);
        for (Widget* a = widget->Parent(); a != nullptr; a = a->Parent())
            a->OnDescendantFocused(*widget);
    }
    return true;
}

std::uint64_t HeadlessHost::SetTimer(Widget*, double, std::function<void()>, bool) {
    return m_nextTimerId++;
}

bool HeadlessHost::Contains(const Widget& ancestor, const Widget* widget) const {
    for (const Widget* w = widget; w != nullptr; w = w->Parent())
        if (w == &ancestor)
            return true;
    return false;
}

void HeadlessHost::ForgetSubtree(Widget& widget) {
    if (Contains(widget, m_focused))
        m_focused = nullptr;
    if (Contains(widget, m_capture))
        m_capture = nullptr;
}

void HeadlessHost::WidgetDetached(Widget& widget) {
    ForgetSubtree(widget);
}

void HeadlessHost::WidgetHidden(Widget& widget) {
    ForgetSubtree(widget);
}

void HeadlessHost::WidgetDisabled(Widget& widget) {
    ForgetSubtree(widget);
}

Result RenderToPng(Widget& root, SizeF size, float dpiScale, const Theme& theme,
                   const std::string& path) {
    if (root.Parent() != nullptr || root.GetHost() != nullptr)
        return kInvalidArg;
    HeadlessHost host(root, theme, dpiScale);
    return host.RenderToPng(size, path);
}

} // namespace Velto::Widget
