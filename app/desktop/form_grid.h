#pragma once

#include "widget/core/grid.h"

#include <memory>
#include <string>
#include <string_view>

namespace App {

// The dialogs' two-column form: labels on the left, controls on the right,
// hints under their control.
class FormGrid {
public:
    static constexpr float kRowSpacing = 8;
    static constexpr float kColumnSpacing = 12;
    // Hints sit this close under the row above.
    static constexpr float kHintPull = -6;

    FormGrid();

    // A label and its control; the control is named after the label (its
    // text up to the first ":").
    template <typename T> T* AddLabelled(const std::u16string& label, std::unique_ptr<T> control) {
        T* raw = control.get();
        AddLabelledWidget(label, std::move(control));
        return raw;
    }
    template <typename T> T* AddControl(std::unique_ptr<T> control) {
        T* raw = control.get();
        AddControlWidget(std::move(control));
        return raw;
    }
    void AddHint(const std::u16string& text, float indent);

    std::unique_ptr<Velto::Widget::Grid> Take() { return std::move(m_grid); }

private:
    void AddLabelledWidget(const std::u16string& label,
                           std::unique_ptr<Velto::Widget::Widget> control);
    void AddControlWidget(std::unique_ptr<Velto::Widget::Widget> control);
    int NextRow();

    std::unique_ptr<Velto::Widget::Grid> m_grid;
    int m_rows{0};
};

// A label's text up to its first ":", without spaces and tabs around it.
std::u16string AccessibleNameOf(std::u16string_view label);

} // namespace App
