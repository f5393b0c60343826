#pragma once

#include "widget/render/canvas.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace Velto::Widget::Demo {

// Forwards every operation to another canvas and adds up the time each kind
// of operation takes, to show where a frame goes.
class TimingCanvas final : public Canvas {
public:
    enum Kind { kClear, kRect, kRoundedFill, kRoundedStroke, kText, kIcon, kOther, kKinds };

    explicit TimingCanvas(Canvas& inner) : m_inner(inner) {}

    // Closes a frame: each kind keeps its least time over the frames, which
    // on a shared machine is nearest to what the work itself costs.
    void EndFrame() {
        for (int k = 0; k < kKinds; ++k) {
            m_best[k] = m_frames == 0 ? m_ms[k] : std::min(m_best[k], m_ms[k]);
            m_lastCount[k] = m_count[k];
            m_ms[k] = 0;
            m_count[k] = 0;
        }
        ++m_frames;
    }

    void Report() const {
        static constexpr const char* kNames[kKinds] = {
            "clear", "rectangles", "rounded fills", "rounded strokes", "text", "icons", "other"};
        for (int k = 0; k < kKinds; ++k)
            std::printf("    %-16s %6d ops  best %7.3f ms per frame\n", kNames[k], m_lastCount[k],
                        m_best[k]);
    }

    float Scale() const override { return m_inner.Scale(); }
    void Clear(Color c) override {
        Timed(kClear, [&] { m_inner.Clear(c); });
    }
    void FillRect(const RectF& r, Color c) override {
        Timed(kRect, [&] { m_inner.FillRect(r, c); });
    }
    void StrokeRect(const RectF& r, Color c, float w) override {
        Timed(kRect, [&] { m_inner.StrokeRect(r, c, w); });
    }
    void FillRoundedRect(const RectF& r, float radius, Color c) override {
        Timed(kRoundedFill, [&] { m_inner.FillRoundedRect(r, radius, c); });
    }
    void StrokeRoundedRect(const RectF& r, float radius, Color c, float w) override {
        Timed(kRoundedStroke, [&] { m_inner.StrokeRoundedRect(r, radius, c, w); });
    }
    void FillEllipse(PointF center, float rx, float ry, Color c) override {
        Timed(kOther, [&] { m_inner.FillEllipse(center, rx, ry, c); });
    }
    void DrawLine(PointF a, PointF b, Color c, float w) override {
        Timed(kOther, [&] { m_inner.DrawLine(a, b, c, w); });
    }
    void DrawTextLayout(const TextLayout& layout, PointF origin, Color c) override {
        Timed(kText, [&] { m_inner.DrawTextLayout(layout, origin, c); });
    }
    void DrawIconGlyph(char32_t glyph, PointF topLeft, float size, Color c) override {
        Timed(kIcon, [&] { m_inner.DrawIconGlyph(glyph, topLeft, size, c); });
    }
    void DrawBitmap(const Bitmap& b, const RectF& s, const RectF& d, float o,
                    Interpolation i) override {
        Timed(kOther, [&] { m_inner.DrawBitmap(b, s, d, o, i); });
    }
    void PushClip(const RectF& r) override { m_inner.PushClip(r); }
    void PopClip() override { m_inner.PopClip(); }
    void PushOffset(float dx, float dy) override { m_inner.PushOffset(dx, dy); }
    void PopOffset() override { m_inner.PopOffset(); }
    void PushOpacity(float o) override { m_inner.PushOpacity(o); }
    void PopOpacity() override { m_inner.PopOpacity(); }
    bool IsVisible(const RectF& r) const override { return m_inner.IsVisible(r); }
    RectF SnapToPixels(const RectF& r) const override { return m_inner.SnapToPixels(r); }

private:
    template <typename F> void Timed(Kind kind, F&& op) {
        const auto start = std::chrono::steady_clock::now();
        op();
        m_ms[kind] +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        ++m_count[kind];
    }

    Canvas& m_inner;
    std::array<double, kKinds> m_ms{};
    std::array<int, kKinds> m_count{};
    std::array<double, kKinds> m_best{};
    std::array<int, kKinds> m_lastCount{};
    int m_frames{0};
};

} // namespace Velto::Widget::Demo
