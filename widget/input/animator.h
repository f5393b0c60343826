#pragma once

#include "widget/render/color.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace Velto::Widget {

class InputRouter;
class Widget;

// How an animation's progress t (clamped to [0, 1]) maps to its value.
enum class Easing : std::int32_t {
    Linear = 0,       // t
    QuadraticOut = 1, // 1 - (1 - t)^2
    CubicOut = 2,     // 1 - (1 - t)^3
    CubicInOut = 3,   // 4t^3 below one half, else 1 - (2 - 2t)^3 / 2
};

float ApplyEasing(Easing easing, float t);

// What one animation does: a float from `from` to `to` over `duration`
// seconds, reported to `tick` once per frame and ending with `done` (a
// repeating animation never ends by itself).
struct Animation {
    float from{0};
    float to{1};
    double duration{0};
    Easing easing{Easing::Linear};
    bool repeat{false};
    std::function<void(float)> tick;
    std::function<void()> done;
    // The widget whose leaving the tree cancels the animation; none for an
    // animation of the host itself.
    const Widget* owner{nullptr};
};

// The running animations of one host, stepped once per painted frame.
class Animator {
public:
    // Adds an animation started at `now` (seconds on the monotonic clock) and
    // returns its id. One that cannot run (no positive duration and no
    // repeat) ticks its end value and is done at once, and gets id 0.
    std::uint64_t Add(Animation animation, double now);
    // False when no such animation runs.
    bool Cancel(std::uint64_t id);
    void CancelOwnedBy(const Widget& owner);
    bool IsRunning(std::uint64_t id) const;
    bool Empty() const { return m_entries.empty(); }

    // Advances every animation to `now`; finished ones tick their end value,
    // are removed and then run their done callback. Callbacks may add and
    // cancel animations. True while animations remain.
    bool Step(double now);

private:
    struct Entry {
        std::uint64_t id{0};
        Animation animation;
        double start{0};
    };

    std::vector<Entry> m_entries;
    std::uint64_t m_nextId{1};
};

// A float a widget animates through its host's animator. Each tick stores the
// value and asks the host for a paint. The value must live no longer than
// its owner widget (make it a member of the widget).
class AnimatedValue {
public:
    explicit AnimatedValue(Widget& owner, float value = 0);
    ~AnimatedValue();
    AnimatedValue(const AnimatedValue&) = delete;
    AnimatedValue& operator=(const AnimatedValue&) = delete;

    float Value() const { return m_value; }
    float Target() const { return m_target; }
    bool IsAnimating() const;

    // Moves to the target over `seconds`. Takes it at once when the target is
    // the value already, the owner has no host, the host has animations
    // switched off or the duration is not positive; a running animation is
    // cancelled either way.
    void AnimateTo(float target, double seconds, Easing easing = Easing::CubicOut);
    // Takes the value at once.
    void Set(float value);
    // Called after every change of the value.
    void SetOnChanged(std::function<void(float)> onChanged) { m_onChanged = std::move(onChanged); }

private:
    void Cancel();
    void Store(float value);

    Widget& m_owner;
    float m_value{0};
    float m_target{0};
    InputRouter* m_router{nullptr}; // the router m_animation runs on
    std::uint64_t m_animation{0};
    std::function<void(float)> m_onChanged;
};

// The colour shown = start + (end - start) x progress, channel by channel.
// When one side is (almost) transparent it takes the other side's red, green
// and blue, so that fading in or out changes only the opacity.
Color MixTransitionColors(Color start, Color end, float progress);

// A control's colour that moves to each new colour with a transition: the
// colour shown now becomes the start, the new one the end, and the progress
// runs from 0 to 1 with cubic ease-out.
class AnimatedColor {
public:
    AnimatedColor(Widget& owner, Color color);
    AnimatedColor(const AnimatedColor&) = delete;
    AnimatedColor& operator=(const AnimatedColor&) = delete;

    Color Current() const;
    Color End() const { return m_end; }
    // A transition to `color` over `seconds` (0: at once). Asking again for
    // the colour it already moves to changes nothing.
    void TransitionTo(Color color, double seconds);
    void Set(Color color);

private:
    Widget& m_owner;
    Color m_start;
    Color m_end;
    AnimatedValue m_progress;
};

} // namespace Velto::Widget
