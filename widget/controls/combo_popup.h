#pragma once

#include "widget/render/geometry.h"
#include "widget/window/popup.h"

namespace Velto::Widget::Controls {

class ComboPanel;

// The window a combo box's list drops down in: a popup over the owner
// window that never takes the keyboard (the combo box routes the keys to
// the list) and closes on a press outside. The list stays the combo box's.
class ComboPopup final : public Popup {
public:
    ComboPopup() = default;
    ~ComboPopup() override;

    // Shows `panel` in a popup of `size` DIPs against `anchor` (the box, in
    // the owner's client DIPs): below it, or above when there is no room
    // below. False when no popup window could be made.
    bool ShowFor(Window& owner, ComboPanel& panel, const RectF& anchor, SizeF size);
    // Lets go of the list (hidden first); the combo box calls it before the
    // list goes, outside the list's own input handling.
    void Release();
};

} // namespace Velto::Widget::Controls
