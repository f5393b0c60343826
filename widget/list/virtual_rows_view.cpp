#include "widget/list/virtual_rows_view.h"

#include "widget/input/input_router.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::List {
namespace {

constexpr double kMsPerSecond = 1000;

InputRouter* RouterOf(const Widget& widget) {
    return dynamic_cast<InputRouter*>(widget.GetHost());
}

} // namespace

VirtualRowsView::VirtualRowsView() {
    m_verticalBar = Add(std::make_unique<ScrollBar>(Orientation::Vertical));
    m_verticalBar->SetOnValueChanged([this](double value) {
        StopScrollAnimation();
        StoreOffset(value);
    });
}

void VirtualRowsView::SetRowHeight(float height) {
    height = std::max(kMinRowHeight, height);
    if (height == m_rowHeight)
        return;
    m_rowHeight = height;
    StoreOffset(std::min(m_offset, MaxScrollOffset()));
    UpdateVerticalBar();
    InvalidateMeasure();
}

void VirtualRowsView::SetTopPadding(float padding) {
    m_topPadding = std::max(0.0f, padding);
    UpdateVerticalBar();
    RequestRedraw();
}

void VirtualRowsView::SetRowCountValue(std::int64_t count) {
    m_rowCount = std::max<std::int64_t>(0, count);
    if (m_motion.IsRunning() && m_motion.Target() > MaxScrollOffset())
        StopScrollAnimation();
    StoreOffset(std::min(m_offset, MaxScrollOffset()));
    UpdateVerticalBar();
    RequestRedraw();
}

void VirtualRowsView::SetRowsArea(const RectF& area) {
    m_rowsArea = area;
    StoreOffset(std::min(m_offset, MaxScrollOffset()));
    UpdateVerticalBar();
}

double VirtualRowsView::MaxScrollOffset() const {
    const double extent = static_cast<double>(m_rowCount) * m_rowHeight + m_topPadding;
    return std::max(0.0, extent - m_rowsArea.height);
}

void VirtualRowsView::UpdateVerticalBar() {
    m_verticalBar->SetRange(MaxScrollOffset(), m_rowsArea.height);
    m_verticalBar->SetValue(m_offset);
}

void VirtualRowsView::StoreOffset(double offset) {
    offset = std::clamp(offset, 0.0, MaxScrollOffset());
    if (offset == m_offset)
        return;
    m_offset = offset;
    m_verticalBar->SetValue(offset);
    OnScrolled();
    RequestRedraw();
}

void VirtualRowsView::ScrollToOffset(double offset) {
    StopScrollAnimation();
    StoreOffset(offset);
}

void VirtualRowsView::AnimateScrollTo(double offset) {
    offset = std::clamp(offset, 0.0, MaxScrollOffset());
    InputRouter* host = RouterOf(*this);
    if (!m_smoothScrolling || host == nullptr || !host->AnimationsEnabled()) {
        ScrollToOffset(offset);
        return;
    }
    m_motion.Approach(m_offset, offset);
    StartScrollAnimation();
}

void VirtualRowsView::Fling(double velocity) {
    InputRouter* host = RouterOf(*this);
    if (host == nullptr || !host->AnimationsEnabled())
        return;
    m_motion.Fling(m_offset, velocity, MaxScrollOffset());
    StartScrollAnimation();
}

void VirtualRowsView::StartScrollAnimation() {
    m_verticalBar->Reveal();
    InputRouter* host = RouterOf(*this);
    if (host == nullptr)
        return;
    if (m_animation != 0 && host->GetAnimator().IsRunning(m_animation))
        return;
    m_lastStep = host->Now();
    Animation animation;
    animation.repeat = true;
    animation.duration = 1;
    animation.owner = this;
    animation.tick = [this, host](float) {
        const double now = host->Now();
        const double elapsed = (now - m_lastStep) * kMsPerSecond;
        m_lastStep = now;
        const bool running = m_motion.Step(elapsed);
        StoreOffset(m_motion.Position());
        if (!running)
            StopScrollAnimation();
    };
    m_animation = host->GetAnimator().Add(std::move(animation), m_lastStep);
    host->RequestPaint();
}

void VirtualRowsView::StopScrollAnimation() {
    m_motion.Stop();
    if (m_animation == 0)
        return;
    if (InputRouter* host = RouterOf(*this))
        host->GetAnimator().Cancel(m_animation);
    m_animation = 0;
}

void VirtualRowsView::ScrollRowIntoView(std::int64_t row, bool animate) {
    if (row < 0 || row >= m_rowCount)
        return;
    const double top = RowTop(row) + ScrollTarget();
    const double bottom = top + m_rowHeight;
    const double view = m_rowsArea.height;
    double target = ScrollTarget();
    if (top < target)
        target = top;
    else if (bottom > target + view)
        target = bottom - view;
    else
        return;
    if (animate)
        AnimateScrollTo(target);
    else
        ScrollToOffset(target);
}

std::int64_t VirtualRowsView::FirstVisibleRow() const {
    const double first = std::floor((m_offset - m_topPadding) / m_rowHeight);
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::max(0.0, first)), 0, m_rowCount);
}

std::int64_t VirtualRowsView::LastVisibleRow() const {
    const double last = std::ceil((m_offset + m_rowsArea.height - m_topPadding) / m_rowHeight);
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::max(0.0, last)), 0, m_rowCount);
}

std::int64_t VirtualRowsView::RowAt(float y) const {
    if (y < 0 || y >= m_rowsArea.height)
        return -1;
    const double position = m_offset + y - m_topPadding;
    if (position < 0)
        return -1;
    const auto row = static_cast<std::int64_t>(std::floor(position / m_rowHeight));
    return row < m_rowCount ? row : -1;
}

double VirtualRowsView::RowTop(std::int64_t row) const {
    return m_topPadding + static_cast<double>(row) * m_rowHeight - m_offset;
}

float VirtualRowsView::WheelLine() const {
    return std::isnan(m_wheelDistance) ? m_rowHeight : m_wheelDistance;
}

bool VirtualRowsView::OnWheel(const WheelEvent& event) {
    if (event.vertical == 0 || MaxScrollOffset() <= 0)
        return false;
    const double delta = -static_cast<double>(event.vertical) * kWheelLines * WheelLine();
    m_verticalBar->Reveal();
    if (event.precise || !m_smoothScrolling) {
        ScrollToOffset(ScrollTarget() + delta);
        return true;
    }
    AnimateScrollTo(ScrollTarget() + delta);
    return true;
}

void VirtualRowsView::DrawRows(Canvas& canvas) {
    const std::int64_t last = LastVisibleRow();
    for (std::int64_t row = FirstVisibleRow(); row < last; ++row) {
        const RectF band{m_rowsArea.x, m_rowsArea.y + static_cast<float>(RowTop(row)),
                         m_rowsArea.width, m_rowHeight};
        DrawRow(canvas, row, band);
    }
}

void VirtualRowsView::Draw(Canvas& canvas) {
    if (m_rowsArea.IsEmpty())
        return;
    canvas.PushClip(m_rowsArea);
    DrawRows(canvas);
    canvas.PopClip();
}

} // namespace Velto::Widget::List
