#pragma once

#include "widget/controls/button.h"

namespace Velto::Widget {

// A button that stays checked after a click until the next one.
class ToggleButton : public Button {
public:
    explicit ToggleButton(std::u16string text = {}) : Button(std::move(text)) {}

    bool IsChecked() const { return m_checked; }
    // No click callback.
    void SetChecked(bool checked);

    std::string_view ClassName() const override { return "ToggleButton"; }

protected:
    void OnClicked() override;
    bool IsCheckedLook() const override { return m_checked; }

private:
    bool m_checked{false};
};

} // namespace Velto::Widget
