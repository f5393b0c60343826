#pragma once

#include "widget/controls/combo_panel.h"
#include "widget/core/widget.h"
#include "widget/input/key_route.h"
#include "widget/list/type_ahead.h"
#include "widget/render/text_layout.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget::Controls {

class ComboPopup;

// A drop-down choice among texts. Closed, the keys step through the items
// and typing finds one; opened, a list below (or above) the box shows them.
class ComboBox : public Widget {
public:
    static constexpr float kDefaultWidth = 180;
    static constexpr float kTextLeft = 12;
    static constexpr float kTextReserve = 42;
    static constexpr float kChevronBoxWidth = 26;
    static constexpr float kChevronFromRight = 30;
    static constexpr float kChevronSize = 10;
    static constexpr char32_t kChevronGlyph = 0xE70D;

    // Shows the open list: `panel` in a popup of `size` DIPs placed against
    // `anchor` (the box, in window DIPs). Returns what hides it again, which
    // may run inside the popup's own input dispatch (a click on an item), so
    // it hides the popup without destroying it there. The popup calls
    // ComboBox::Close when it is dismissed from outside. Without a presenter,
    // a box in a toolkit window shows the list in a ComboPopup of its own.
    using PopupPresenter = std::function<std::function<void()>(ComboBox&, ComboPanel& panel,
                                                               RectF anchor, SizeF size)>;

    ComboBox();
    ~ComboBox() override;

    void SetItems(std::vector<std::u16string> items);
    const std::vector<std::u16string>& Items() const { return m_items; }
    // -1 for none; out-of-range indices count as none. `notify` calls back
    // when the index changed.
    void SetSelectedIndex(int index, bool notify = true);
    int GetSelectedIndex() const { return m_selected; }
    void SetPlaceholder(std::u16string text);
    void SetOnSelectionChanged(std::function<void(int)> callback) {
        m_onSelectionChanged = std::move(callback);
    }
    void SetPopupPresenter(PopupPresenter presenter) { m_presenter = std::move(presenter); }

    // Opens the list; false when there is nowhere to show it.
    bool Open();
    void Close();
    bool IsOpen() const { return m_panel != nullptr; }
    ComboPanel* OpenPanel() const { return m_panel.get(); }

    std::string_view ClassName() const override { return "ComboBox"; }
    bool CanFocus() const override { return true; }
    bool TakesHitsItself() const override { return HitSelfFlag(); }
    bool OnKeyDown(const KeyEvent& event) override;
    bool OnChar(const CharEvent& event) override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    void OnFocusChanged(bool focused) override;
    void DrawFocusVisual(Canvas& canvas) override;
    void OnThemeChanged() override { m_layout.reset(); }
    void DropTextLayouts() override { m_layout.reset(); }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    void Choose(int index);
    // Shows the list in the box's own popup over its window; none when the
    // box is in no toolkit window or the popup could not be shown.
    std::function<void()> ShowInWindowPopup(ComboPanel& panel, RectF anchor, SizeF size);
    double NowMs() const;

    std::vector<std::u16string> m_items;
    int m_selected{-1};
    std::u16string m_placeholder;
    Models::TypeAhead m_typeAhead;
    std::function<void(int)> m_onSelectionChanged;
    PopupPresenter m_presenter;
    std::unique_ptr<ComboPanel> m_panel;
    std::unique_ptr<ComboPanel> m_closedPanel;
    // After the panels: it lets go of the list before the list goes.
    std::unique_ptr<ComboPopup> m_popup;
    std::unique_ptr<KeyRoute> m_route;
    std::function<void()> m_hidePopup;
    std::unique_ptr<TextLayout> m_layout;
    bool m_hovered{false};
    bool m_pressed{false};
};

} // namespace Velto::Widget::Controls
