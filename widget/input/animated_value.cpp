#include "widget/core/widget.h"
#include "widget/input/animator.h"
#include "widget/input/input_router.h"

namespace Velto::Widget {
namespace {

// Below this alpha a colour counts as transparent and its red, green and
// blue mean nothing.
constexpr float kTransparentAlpha = 0.001f;

InputRouter* RouterOf(const Widget& widget) {
    return dynamic_cast<InputRouter*>(widget.GetHost());
}

} // namespace

AnimatedValue::AnimatedValue(Widget& owner, float value)
    : m_owner(owner), m_value(value), m_target(value) {}

AnimatedValue::~AnimatedValue() {
    Cancel();
}

bool AnimatedValue::IsAnimating() const {
    return m_animation != 0 && m_router == RouterOf(m_owner) &&
           m_router->GetAnimator().IsRunning(m_animation);
}

void AnimatedValue::AnimateTo(float target, double seconds, Easing easing) {
    Cancel();
    m_target = target;
    InputRouter* host = RouterOf(m_owner);
    if (target == m_value || host == nullptr || !host->AnimationsEnabled() || !(seconds > 0)) {
        Store(target);
        return;
    }
    Animation animation;
    animation.from = m_value;
    animation.to = target;
    animation.duration = seconds;
    animation.easing = easing;
    animation.tick = [this](float value) { Store(value); };
    animation.done = [this] {
        m_animation = 0;
        m_router = nullptr;
    };
    animation.owner = &m_owner;
    m_router = host;
    m_animation = host->GetAnimator().Add(std::move(animation), host->Now());
    // Animations advance once per painted frame, so the first one is asked for.
    host->RequestPaint();
}

void AnimatedValue::Set(float value) {
    Cancel();
    m_target = value;
    Store(value);
}

void AnimatedValue::Cancel() {
    // The animation ran on m_router; when the owner has left that router since,
    // the host dropped it already (and may be gone).
    if (m_animation != 0 && m_router != nullptr && m_router == RouterOf(m_owner))
        m_router->GetAnimator().Cancel(m_animation);
    m_animation = 0;
    m_router = nullptr;
}

void AnimatedValue::Store(float value) {
    if (value == m_value)
        return;
    m_value = value;
    m_owner.RequestRedraw();
    if (m_onChanged)
        m_onChanged(value);
}

Color MixTransitionColors(Color start, Color end, float progress) {
    Color from = start;
    Color to = end;
    if (start.a <= kTransparentAlpha) {
        from.r = end.r;
        from.g = end.g;
        from.b = end.b;
    }
    if (end.a <= kTransparentAlpha) {
        to.r = start.r;
        to.g = start.g;
        to.b = start.b;
    }
    const auto mix = [progress](float a, float b) { return a + (b - a) * progress; };
    return Color{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b), mix(from.a, to.a)};
}

AnimatedColor::AnimatedColor(Widget& owner, Color color)
    : m_owner(owner), m_start(color), m_end(color), m_progress(owner, 1) {}

Color AnimatedColor::Current() const {
    return MixTransitionColors(m_start, m_end, m_progress.Value());
}

void AnimatedColor::TransitionTo(Color color, double seconds) {
    if (color == m_end)
        return;
    m_start = Current();
    m_end = color;
    if (!(seconds > 0)) {
        m_progress.Set(1);
        m_owner.RequestRedraw();
        return;
    }
    m_progress.Set(0);
    m_progress.AnimateTo(1, seconds, Easing::CubicOut);
}

void AnimatedColor::Set(Color color) {
    m_start = color;
    m_end = color;
    m_progress.Set(1);
    m_owner.RequestRedraw();
}

} // namespace Velto::Widget
