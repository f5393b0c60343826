#include "widget/controls/combo_popup.h"

#include "widget/controls/combo_panel.h"
#include "widget/menu/popup_placement.h"

#include <cmath>
#include <optional>

namespace Velto::Widget::Controls {
namespace {

int Pixels(float dips, float scale) {
    return static_cast<int>(std::lround(dips * scale));
}

} // namespace

ComboPopup::~ComboPopup() {
    // The list belongs to the combo box: let go of it while this host lives.
    ReleaseRoot();
}

void ComboPopup::Release() {
    if (IsShown())
        Hide();
    ReleaseRoot();
}

bool ComboPopup::ShowFor(Window& owner, ComboPanel& panel, const RectF& anchor, SizeF size) {
    // A box moved to another window needs a popup of that window.
    if (IsCreated() && Owner() != &owner)
        Close();
    if (!IsCreated() && !CreateFor(owner))
        return false;
    AttachRoot(panel);
    if (Root() != &panel)
        return false;

    const float scale = owner.DpiScale();
    const ScreenBounds client = owner.ClientScreenBounds();
    const int left = client.x + Pixels(anchor.x, scale);
    const int top = client.y + Pixels(anchor.y, scale);
    const PixelRect anchorPixels{left, top, client.x + Pixels(anchor.Right(), scale) - left,
                                 client.y + Pixels(anchor.Bottom(), scale) - top};
    const ScreenBounds area = owner.WorkArea();
    std::optional<PixelRect> workArea;
    if (!area.IsEmpty())
        workArea = PixelRect{area.x, area.y, area.width, area.height};
    const PixelRect placed = PlacePopupBelow(
        PixelSize{Pixels(size.width, scale), Pixels(size.height, scale)}, anchorPixels, workArea);
    ShowAt(ScreenBounds{placed.x, placed.y, placed.width, placed.height});
    return IsShown();
}

} // namespace Velto::Widget::Controls
