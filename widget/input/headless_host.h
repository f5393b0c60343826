#pragma once

#include "base/result.h"
#include "widget/input/input_router.h"
#include "widget/render/cairo_canvas.h"
#include "widget/render/geometry.h"
#include "widget/render/theme.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Velto::Widget {

class Widget;

// A host without a window: it lays a widget tree out and renders it into an
// image at a given size, DPI scale and theme, with no display. Screenshot
// tests and the program's screenshot mode use it, and tests drive the
// toolkit's input routing through it: they send events to the InputRouter entry
// points and move a fake clock that fires timers. The tree stays the
// caller's; it is attached for the host's lifetime.
class HeadlessHost final : public InputRouter {
public:
    HeadlessHost(Widget& root, const Theme& theme, float dpiScale = 1.0f);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Measures and arranges the root in a client area of `size` DIPs.
    void Layout(SizeF size);
    // Steps the animations, clears the canvas to the window background, lays
    // out and draws; true while animations still run.
    bool RenderFrame(CairoCanvas& canvas, SizeF size);
    // A new canvas of size x scale device pixels (rounded up) with a frame.
    std::unique_ptr<CairoCanvas> Render(SizeF size);
    Result RenderToPng(SizeF size, const std::string& path);

    // What the tree asked for since the last frame.
    bool LayoutRequested() const { return LayoutPending(); }
    bool PaintRequested() const { return PaintPending(); }

    // The fake clock starts at 0 and moves only here. Advancing fires every
    // timer that falls due on the way, each at its own due time.
    double Now() const override { return m_now; }
    void AdvanceTime(double seconds);

    // Stands in for a window's unhandled-key hook (a dialog's Enter and
    // Escape).
    void SetUnhandledKeyHandler(std::function<bool(const KeyEvent&)> handler) {
        m_unhandledKey = std::move(handler);
    }

    // What the host asked of the window system.
    int NativeRepaints() const { return m_nativeRepaints; }
    // When the native timer fires, on the fake clock; none while stopped.
    std::optional<double> NativeTimerDue() const { return m_nativeTimerDue; }
    CursorShape NativeCursor() const { return m_nativeCursor; }
    bool NativeCaptured() const { return m_nativeCaptured; }
    const std::optional<std::u16string>& ShownTooltip() const { return m_shownTooltip; }
    PointF TooltipPoint() const { return m_tooltipPoint; }
    const std::optional<RectF>& ImeWindow() const { return m_imeWindow; }

protected:
    void RequestNativeRepaint() override { ++m_nativeRepaints; }
    void ArmNativeTimer(double seconds) override;
    void StopNativeTimer() override { m_nativeTimerDue.reset(); }
    void SetNativeCursor(CursorShape shape) override { m_nativeCursor = shape; }
    void ShowTooltip(std::u16string_view text, PointF pointer) override;
    void HideTooltip() override { m_shownTooltip.reset(); }
    void SetNativeCapture(bool captured) override { m_nativeCaptured = captured; }
    void PlaceImeWindow(const RectF& caret) override { m_imeWindow = caret; }
    bool OnUnhandledKey(const KeyEvent& event) override {
        return m_unhandledKey && m_unhandledKey(event);
    }

private:
    double m_now{0};
    int m_nativeRepaints{0};
    std::optional<double> m_nativeTimerDue; // absolute, on the fake clock
    CursorShape m_nativeCursor{CursorShape::Arrow};
    bool m_nativeCaptured{false};
    std::optional<std::u16string> m_shownTooltip;
    PointF m_tooltipPoint;
    std::optional<RectF> m_imeWindow;
    std::function<bool(const KeyEvent&)> m_unhandledKey;
};

// Renders a tree that has no host to a PNG file.
Result RenderToPng(Widget& root, SizeF size, float dpiScale, const Theme& theme,
                   const std::string& path);

} // namespace Velto::Widget
