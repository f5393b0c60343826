#pragma once

#include "widget/core/widget.h"
#include "widget/input/animator.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget::List {

enum class Orientation : std::int32_t { Horizontal = 0, Vertical = 1 };

// An overlay scroll bar: a thin thumb that widens into a track with arrows
// under the pointer and fades out a while after the pointer left. Values
// run from 0 to Maximum(); the viewport is the length shown at once.
class ScrollBar : public Widget {
public:
    static constexpr float kThickness = 12;
    static constexpr float kArrowLength = 12;
    static constexpr float kThinThumb = 3;
    static constexpr float kWideThumb = 6;
    static constexpr float kMinThumbLength = 24;
    static constexpr float kArrowGlyphSize = 8;
    static constexpr double kHideDelaySeconds = 1.0;
    static constexpr double kFadeSeconds = 0.35;
    static constexpr double kWidenSeconds = 0.1;
    static constexpr double kNarrowSeconds = 0.2;
    static constexpr double kRepeatSeconds = 0.06;
    // Ticks of the repeat timer that do nothing before stepping starts.
    static constexpr int kRepeatDelayTicks = 5;

    explicit ScrollBar(Orientation orientation);
    ~ScrollBar() override;

    Orientation GetOrientation() const { return m_orientation; }
    void SetRange(double maximum, double viewport);
    double Maximum() const { return m_maximum; }
    double Viewport() const { return m_viewport; }
    double Value() const { return m_value; }
    // Clamped to [0, maximum]; no callback.
    void SetValue(double value);
    void SetSmallChange(double change) { m_smallChange = change; }
    double SmallChange() const { return m_smallChange; }
    void SetOnValueChanged(std::function<void(double)> callback) {
        m_onValueChanged = std::move(callback);
    }
    // True when there is something to scroll.
    bool IsScrollable() const { return m_maximum > 0 && m_viewport > 0; }

    // Shows the thin bar and lets it fade after the hide delay (scrolling
    // with the wheel or keys).
    void Reveal();
    float Expansion() const { return m_expansion.Value(); }
    float BarOpacity() const { return m_opacity.Value(); }
    bool IsDragging() const { return m_part == Part::Thumb; }

    enum class Part { None, DecreaseArrow, DecreaseTrack, Thumb, IncreaseTrack, IncreaseArrow };
    // The part at a point in the bar's coordinates.
    Part PartAt(PointF point) const;
    // The thumb in the bar's coordinates (empty when nothing scrolls).
    RectF ThumbRect() const;

    std::string_view ClassName() const override { return "ScrollBar"; }
    bool CanFocus() const override { return false; }
    bool IsTabStop() const override { return false; }
    bool TakesHitsItself() const override { return IsScrollable(); }
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    float Along(PointF p) const;
    float Length() const;
    float TrackStart() const { return kArrowLength; }
    float TrackLength() const;
    float ThumbLength() const;
    float ThumbStart() const;
    PointF ToLocal(PointF windowPoint) const;
    void ChangeValue(double value);
    void StepPart(Part part);
    void RepeatTick();
    void StopRepeat();
    void ArmHide();
    void KillHideTimer();

    Orientation m_orientation;
    double m_maximum{0};
    double m_viewport{0};
    double m_value{0};
    double m_smallChange{24};
    std::function<void(double)> m_onValueChanged;
    AnimatedValue m_expansion{*this, 0};
    AnimatedValue m_opacity{*this, 0};
    bool m_hovered{false};
    Part m_part{Part::None}; // the part pressed
    PointF m_pointer;        // last pointer position, local
    float m_dragStartPointer{0};
    double m_dragStartValue{0};
    std::uint64_t m_repeatTimer{0};
    int m_repeatTicks{0};
    std::uint64_t m_hideTimer{0};
};

} // namespace Velto::Widget::List
