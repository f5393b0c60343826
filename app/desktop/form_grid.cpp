#include "app/desktop/form_grid.h"

#include "app/desktop/shares/share_dialog_checks.h"
#include "app/desktop/window_cards.h"

namespace App {

using namespace Velto::Widget;

FormGrid::FormGrid() : m_grid(std::make_unique<Grid>()) {
    m_grid->AddColumn(GridLength::Auto());
    m_grid->AddColumn(GridLength::Star());
    m_grid->SetSpacing(kRowSpacing, kColumnSpacing);
}

int FormGrid::NextRow() {
    m_grid->AddRow(GridLength::Auto());
    return m_rows++;
}

void FormGrid::AddLabelledWidget(const std::u16string& label, std::unique_ptr<Widget> control) {
    const int row = NextRow();
    auto text = MakeLabel(label);
    text->SetVerticalAlignment(Alignment::Center);
    text->SetTarget(control.get());
    control->SetAccessibleName(AccessibleNameOf(label));
    m_grid->AddAt(std::move(text), row, 0);
    m_grid->AddAt(std::move(control), row, 1);
}

void FormGrid::AddControlWidget(std::unique_ptr<Widget> control) {
    m_grid->AddAt(std::move(control), NextRow(), 1);
}

void FormGrid::AddHint(const std::u16string& text, float indent) {
    auto hint = MakeLabel(text, TextStyle::Caption, Tone::Secondary);
    hint->SetWrap(true);
    hint->SetMargin(Thickness{indent, kHintPull, 0, 0});
    m_grid->AddAt(std::move(hint), NextRow(), 1);
}

std::u16string AccessibleNameOf(std::u16string_view label) {
    return TrimSpacesAndTabs(label.substr(0, label.find(u':')));
}

} // namespace App
