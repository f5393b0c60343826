#include "widget/input/animator.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

float ApplyEasing(Easing easing, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    switch (easing) {
    case Easing::QuadraticOut:
        return 1 - (1 - t) * (1 - t);
    case Easing::CubicOut:
        return 1 - (1 - t) * (1 - t) * (1 - t);
    case Easing::CubicInOut: {
        if (t < 0.5f)
            return 4 * t * t * t;
        const float u = 2 - 2 * t;
        return 1 - u * u * u / 2;
    }
    case Easing::Linear:
    default:
        return t;
    }
}

std::uint64_t Animator::Add(Animation animation, double now) {
    if (!(animation.duration > 0) && !animation.repeat) {
        if (animation.tick)
            animation.tick(animation.to);
        if (animation.done)
            animation.done();
        return 0;
    }
    const std::uint64_t id = m_nextId++;
    m_entries.push_back(Entry{id, std::move(animation), now});
    return id;
}

bool Animator::Cancel(std::uint64_t id) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [id](const Entry& e) { return e.id == id; });
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

void Animator::CancelOwnedBy(const Widget& owner) {
    std::erase_if(m_entries, [&owner](const Entry& e) { return e.animation.owner == &owner; });
}

bool Animator::IsRunning(std::uint64_t id) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [id](const Entry& e) { return e.id == id; });
}

bool Animator::Step(double now) {
    // Callbacks may add or cancel animations, so the entries are looked up
    // again by id for each step; ones added meanwhile start next frame.
    std::vector<std::uint64_t> ids;
    ids.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        ids.push_back(entry.id);

    for (const std::uint64_t id : ids) {
        const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                     [id](const Entry& e) { return e.id == id; });
        if (it == m_entries.end())
            continue;
        const Animation& animation = it->animation;
        double t = animation.duration > 0 ? (now - it->start) / animation.duration : 1.0;
        t = std::max(t, 0.0);
        if (animation.repeat) {
            t -= std::floor(t);
        } else if (t >= 1) {
            // Removed before its callbacks run, so they may start a new one.
            Animation finished = std::move(it->animation);
            m_entries.erase(it);
            if (finished.tick)
                finished.tick(finished.to);
            if (finished.done)
                finished.done();
            continue;
        }
        const float value =
            animation.from +
            (animation.to - animation.from) * ApplyEasing(animation.easing, static_cast<float>(t));
        // A copy: the tick may cancel its own animation.
        const std::function<void(float)> tick = animation.tick;
        if (tick)
            tick(value);
    }
    return !m_entries.empty();
}

} // namespace Velto::Widget
