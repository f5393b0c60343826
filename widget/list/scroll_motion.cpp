#include "widget/list/scroll_motion.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::List {

void ScrollMotion::Approach(double position, double target) {
    m_kind = Kind::Approach;
    m_position = position;
    m_target = target;
}

void ScrollMotion::Fling(double position, double velocity, double maximum) {
    m_kind = Kind::Inertia;
    m_position = position;
    m_velocity = velocity;
    m_maximum = std::max(0.0, maximum);
    m_target = position;
}

bool ScrollMotion::Step(double elapsedMs) {
    const double dt = std::max(0.0, elapsedMs);
    switch (m_kind) {
    case Kind::None:
        return false;
    case Kind::Approach:
        m_position = m_target - std::exp(-dt / kApproachMs) * (m_target - m_position);
        if (std::fabs(m_target - m_position) <= kLandingDistance) {
            m_position = m_target;
            m_kind = Kind::None;
        }
        break;
    case Kind::Inertia: {
        const double decay = std::exp(-dt / kInertiaMs);
        m_position += m_velocity * kInertiaMs * (1 - decay);
        m_velocity *= decay;
        if (m_position <= 0 || m_position >= m_maximum) {
            m_position = std::clamp(m_position, 0.0, m_maximum);
            m_kind = Kind::None;
        } else if (std::fabs(m_velocity) < kStopVelocity) {
            m_kind = Kind::None;
        }
        m_target = m_position;
        break;
    }
    }
    return m_kind != Kind::None;
}

} // namespace Velto::Widget::List
