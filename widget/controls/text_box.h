#pragma once

#include "widget/controls/edit_menu.h"
#include "widget/controls/edit_model.h"
#include "widget/controls/text_clipboard.h"
#include "widget/core/widget.h"
#include "widget/list/text_boundary.h"
#include "widget/render/text_layout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget {
class Window;
namespace Menus {
class ContextMenu;
} // namespace Menus
} // namespace Velto::Widget

namespace Velto::Widget::Controls {

// A single-line text input, also a password box: caret and selection by
// keys and pointer over word and character boundaries, undo and redo, the
// clipboard, an edit menu, a placeholder, a maximum length, an error state
// and input-method composition drawn in place.
class TextBox : public Widget {
public:
    static constexpr float kDefaultWidth = 160;
    static constexpr float kCaretWidth = 1;
    static constexpr float kBottomBar = 2;
    static constexpr float kRevealWidth = 28;
    static constexpr float kRevealMargin = 4;
    static constexpr float kBadgePadding = 8;
    static constexpr float kBadgeMinWidth = 60;
    static constexpr float kBadgeGap = 4;
    static constexpr char16_t kMaskCharacter = 0x2022; // a bullet: dots of letter size

    TextBox();
    ~TextBox() override;

    const std::u16string& GetText() const { return m_model.Text(); }
    // Replaces the text (not undoable, no text-changed callback).
    void SetText(std::u16string text);
    void SetPlaceholder(std::u16string text);
    const std::u16string& Placeholder() const { return m_placeholder; }
    void SetMaxLength(std::size_t length) { m_model.SetMaxLength(length); }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_model.IsReadOnly(); }
    // Masks the text with one black circle per character; with the reveal
    // button, holding it down shows the clear text.
    void SetPassword(bool on, bool withReveal);
    bool IsPassword() const { return m_password; }
    // True while the text is drawn masked.
    bool IsMasked() const { return m_password && !m_revealing; }
    // An error text puts the box in the error state and becomes its tooltip.
    void SetErrorText(std::u16string text);
    const std::u16string& ErrorText() const { return m_errorText; }
    // The text colour; none: the theme's primary text.
    void SetTextColor(std::optional<Color> color);
    void SelectAll();
    // Room kept free at the right end for what an owner draws there.
    void SetTrailingReserve(float width);

    void SetOnTextChanged(std::function<void()> callback) { m_onTextChanged = std::move(callback); }
    void SetOnEnter(std::function<void()> callback) { m_onEnter = std::move(callback); }
    void SetOnFocusLost(std::function<void()> callback) { m_onFocusLost = std::move(callback); }

    // Connects a clipboard. Without one, a box in a toolkit window uses the
    // desktop clipboard.
    void SetClipboard(TextClipboard clipboard) { m_clipboard = std::move(clipboard); }
    // Replaces the word and character boundaries (ICU by default).
    void SetTextBoundary(std::unique_ptr<Models::ITextBoundary> boundary);
    // Characters the box accepts from the keyboard; none: all.
    void SetCharFilter(std::function<bool(char32_t)> filter) { m_charFilter = std::move(filter); }
    // Whether Caps Lock is on; in a toolkit window the keyboard's state
    // answers it by default.
    void SetCapsLockQuery(std::function<bool()> query) { m_capsLock = std::move(query); }
    // Shows the edit menu (the menu layer): the items and where, in the
    // box's coordinates. A chosen item goes to ExecuteEditCommand. Without
    // a handler, a box in a toolkit window opens its own context menu.
    using ContextMenuHandler = std::function<void(std::vector<MenuItem>, PointF)>;
    void SetContextMenuHandler(ContextMenuHandler handler) { m_contextMenu = std::move(handler); }
    // The menu's texts; by default the standard labels in a toolkit window.
    void SetEditMenuTexts(EditMenuTexts texts) {
        m_menuTexts = std::move(texts);
        m_menuTextsSet = true;
    }
    std::vector<MenuItem> EditMenuItems() const;
    void ExecuteEditCommand(std::uint32_t id);

    // Editing operations as the keys and the menu run them.
    void Copy();
    void Cut();
    void Paste();
    void Undo();
    void Redo();

    const EditModel& Model() const { return m_model; }
    bool CaretShown() const { return m_caretVisible; }
    float ScrollX() const { return m_scrollX; }
    bool CapsLockBadgeShown() const;
    RectF RevealButtonRect() const;

    std::string_view ClassName() const override { return "TextBox"; }
    bool CanFocus() const override { return true; }
    bool TakesHitsItself() const override { return HitSelfFlag(); }
    std::u16string_view TooltipText() const override;
    CursorShape Cursor() const override { return CursorShape::IBeam; }
    bool AllowsIme() const override { return !IsReadOnly() && !m_password; }
    bool OnIme(const ImeEvent& event) override;
    RectF CaretRect() const override;
    bool OnKeyDown(const KeyEvent& event) override;
    bool OnChar(const CharEvent& event) override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    void OnFocusChanged(bool focused) override;
    void OnThemeChanged() override;
    void DropTextLayouts() override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    std::int64_t NowMs() const;
    // After an edit: the caret blinks anew, the view follows, owners hear.
    void Edited(bool changed);
    void CaretMoved();
    void RestartBlink();
    void StopBlink();
    std::u16string ShownText() const;
    std::size_t ToShown(std::size_t position) const;
    std::size_t FromShown(std::size_t position) const;
    const TextLayout& ShownLayout() const;
    const TextLayout& PlaceholderLayout() const;
    float TextLeft() const;
    float TextRight() const;
    float TextTop(const TextLayout& layout) const;
    void EnsureCaretVisible() const;
    std::size_t PositionAt(PointF local) const;
    PointF ToLocal(PointF windowPoint) const;
    void ShowContextMenu(PointF at);
    // The toolkit window the box is shown in; none in other hosts.
    Window* HostWindow() const;
    // The clipboard set by the owner, else the desktop's in a window.
    TextClipboard ActiveClipboard() const;
    void DrawRevealButton(Canvas& canvas) const;
    void DrawCapsLockBadge(Canvas& canvas) const;
    void DrawSelectionAndText(Canvas& canvas, const TextLayout& layout, PointF origin,
                              Color color) const;

    std::unique_ptr<Models::ITextBoundary> m_boundary;
    EditModel m_model;
    std::u16string m_placeholder;
    std::u16string m_errorText;
    std::optional<Color> m_textColor;
    bool m_password{false};
    bool m_revealButton{false};
    bool m_revealing{false};
    float m_trailingReserve{0};
    TextClipboard m_clipboard;
    std::function<bool(char32_t)> m_charFilter;
    std::function<bool()> m_capsLock;
    ContextMenuHandler m_contextMenu;
    EditMenuTexts m_menuTexts;
    bool m_menuTextsSet{false};
    // The edit menu a box in a toolkit window opens itself, and a token its
    // posted choice checks, since the box may be gone by then.
    std::unique_ptr<Menus::ContextMenu> m_editMenu;
    std::shared_ptr<TextBox*> m_self{std::make_shared<TextBox*>(this)};
    std::function<void()> m_onTextChanged;
    std::function<void()> m_onEnter;
    std::function<void()> m_onFocusLost;

    bool m_focused{false};
    bool m_hovered{false};
    bool m_selecting{false};
    bool m_rightPressed{false};
    bool m_caretVisible{false};
    double m_blinkSeconds{0}; // the desktop's, read on focus; 0: no blinking
    std::uint64_t m_blinkTimer{0};
    // The view's horizontal scroll, kept so that the caret stays visible.
    mutable float m_scrollX{0};
    mutable std::unique_ptr<TextLayout> m_layout;
    mutable std::unique_ptr<TextLayout> m_placeholderLayout;
};

} // namespace Velto::Widget::Controls
