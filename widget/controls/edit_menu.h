#pragma once

#include "widget/menu/menu_item.h"

#include <string>
#include <vector>

namespace Velto::Widget::Controls {

// The texts of a text box's edit menu, in the English of the standard
// labels; the owner passes the labels of the window's language.
struct EditMenuTexts {
    std::u16string undo{u"&Undo"};
    std::u16string cut{u"Cu&t"};
    std::u16string copy{u"&Copy"};
    std::u16string paste{u"&Paste"};
    std::u16string remove{u"&Delete"};
    std::u16string selectAll{u"Select &All"};
};

// Identifiers of the edit menu's items.
enum EditMenuCommand : std::uint32_t {
    kEditUndo = 1,
    kEditCut = 2,
    kEditCopy = 3,
    kEditPaste = 4,
    kEditDelete = 5,
    kEditSelectAll = 6,
};

// What the edit menu may offer at the moment it opens.
struct EditMenuState {
    bool canUndo{false};
    bool canCut{false};
    bool canCopy{false};
    bool canPaste{false};
    bool canDelete{false};
    bool canSelectAll{false};
};

// Undo, a separator, Cut, Copy, Paste, Delete, a separator and Select All,
// with their shortcut texts; items that cannot act are disabled.
std::vector<MenuItem> BuildEditMenu(const EditMenuTexts& texts, const EditMenuState& state);

} // namespace Velto::Widget::Controls
