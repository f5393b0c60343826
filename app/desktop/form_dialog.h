#pragma once

#include "app/texts/text_table.h"
#include "app/texts/ui_language.h"
#include "widget/controls/button.h"
#include "widget/controls/text_box.h"
#include "widget/core/stack.h"
#include "widget/window/dialog.h"

#include <cstdint>
#include <memory>

namespace App {

// The share and account dialogs' frame: their width and their answers.
constexpr float kEditDialogWidth = 520;
constexpr std::int32_t kDialogConfirmed = 1;
constexpr std::int32_t kDialogCancelled = Velto::Widget::Dialog::kClosedResult;

// Runs a dialog around a form's content: OK runs the form's checks and ends
// the dialog only when they pass; Cancel ends it at once. True when
// confirmed.
template <typename Form>
bool RunFormDialog(Velto::Widget::Window* owner, Form& form, Velto::Widget::Dialog& dialog,
                   UiLanguage language) {
    using Velto::Widget::Button;
    dialog.Content().AddChild(form.Build());
    auto ok =
        dialog.AddButton(std::make_unique<Button>(Text(TextId::Ok, language)), 0, true, false);
    ok->SetStyle(Velto::Widget::ButtonStyle::Accent);
    ok->SetOnClick([&form, &dialog] {
        if (form.Confirm())
            dialog.EndDialog(kDialogConfirmed);
    });
    dialog.AddButton(std::make_unique<Button>(Text(TextId::Cancel, language)), kDialogCancelled,
                     false, true);
    dialog.SetInitialFocus(form.NameBox());
    return dialog.ShowModal(owner, form.Title()) == kDialogConfirmed;
}

} // namespace App
