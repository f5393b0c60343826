#pragma once

#include "base/result.h"
#include "widget/core/tree_host.h"
#include "widget/render/cairo_canvas.h"
#include "widget/render/geometry.h"
#include "widget/render/theme.h"

#include <memory>
#include <string>

namespace Velto::Widget {

class Widget;

// A host without a window: it lays a widget tree out and renders it into an
// image at a given size, DPI scale and theme, with no display. Screenshot
// tests and the program's screenshot mode use it. The tree stays the
// caller's; it is attached for the host's lifetime.
class HeadlessHost final : public TreeHost {
public:
    HeadlessHost(Widget& root, const Theme& theme, float dpiScale = 1.0f);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    void SetTheme(const Theme& theme);
    void SetDpiScale(float dpiScale);

    // Measures and arranges the root in a client area of `size` DIPs.
    void Layout(SizeF size);
    // Clears the canvas to the window background, lays out and draws.
    void RenderFrame(CairoCanvas& canvas, SizeF size);
    // A new canvas of size x scale device pixels (rounded up) with a frame.
    std::unique_ptr<CairoCanvas> Render(SizeF size);
    Result RenderToPng(SizeF size, const std::string& path);

    // What the tree asked for since the last frame (for tests).
    bool LayoutRequested() const { return m_layoutRequested; }
    bool PaintRequested() const { return m_paintRequested; }
    Widget* Focused() const { return m_focused; }

    const Theme& GetTheme() const override { return m_theme; }
    float DpiScale() const override { return m_dpiScale; }
    void RequestLayout() override { m_layoutRequested = true; }
    void RequestPaint() override { m_paintRequested = true; }
    bool SetFocus(Widget* widget, bool fromKeyboard) override;
    void SetCapture(Widget* widget) override { m_capture = widget; }
    // Timers are kept but never run: a headless frame is a still.
    std::uint64_t SetTimer(Widget* owner, double seconds, std::function<void()> callback,
                           bool repeat) override;
    void KillTimer(std::uint64_t) override {}
    void WidgetAttached(Widget&) override {}
    void WidgetDetached(Widget& widget) override;
    void WidgetHidden(Widget& widget) override;
    void WidgetDisabled(Widget& widget) override;
    void RaiseAccessibilityEvent(Widget&, AccessibilityEvent) override {}

private:
    bool Contains(const Widget& ancestor, const Widget* widget) const;
    void ForgetSubtree(Widget& widget);

    Widget& m_root;
    Theme m_theme;
    float m_dpiScale{1};
    bool m_layoutRequested{false};
    bool m_paintRequested{false};
    Widget* m_focused{nullptr};
    Widget* m_capture{nullptr};
    std::uint64_t m_nextTimerId{1};
};

// Renders a tree that has no host to a PNG file.
Result RenderToPng(Widget& root, SizeF size, float dpiScale, const Theme& theme,
                   const std::string& path);

} // namespace Velto::Widget
