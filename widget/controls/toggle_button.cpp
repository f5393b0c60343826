#include "widget/controls/toggle_button.h"

namespace Velto::Widget {

void ToggleButton::SetChecked(bool checked) {
    if (checked == m_checked)
        return;
    m_checked = checked;
    UpdateColors();
    RaiseAccessibilityEvent(AccessibilityEvent::ToggleChanged);
}

void ToggleButton::OnClicked() {
    SetChecked(!m_checked);
    RunClickCallback();
}

} // namespace Velto::Widget
