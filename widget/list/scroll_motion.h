#pragma once

namespace Velto::Widget::List {

// The two ways a scroll offset moves over time, stepped with the elapsed
// milliseconds: approaching a target (wheel, keys, scrolling into view) and
// coasting with a decaying velocity (fling).
class ScrollMotion {
public:
    static constexpr double kApproachMs = 70;
    static constexpr double kInertiaMs = 325;
    static constexpr double kLandingDistance = 0.25; // DIPs
    static constexpr double kStopVelocity = 0.02;    // DIPs per millisecond

    // Starts approaching `target` from `position`.
    void Approach(double position, double target);
    // Starts coasting from `position` with `velocity` DIPs per millisecond in
    // [0, maximum].
    void Fling(double position, double velocity, double maximum);
    void Stop() { m_kind = Kind::None; }
    bool IsRunning() const { return m_kind != Kind::None; }
    double Position() const { return m_position; }
    double Target() const { return m_target; }

    // Advances by `elapsedMs`; false once the motion ended (the position
    // then lies on the target or at the end of the range).
    bool Step(double elapsedMs);

private:
    enum class Kind { None, Approach, Inertia };

    Kind m_kind{Kind::None};
    double m_position{0};
    double m_target{0};
    double m_velocity{0};
    double m_maximum{0};
};

} // namespace Velto::Widget::List
