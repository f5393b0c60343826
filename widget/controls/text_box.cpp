#include "widget/controls/text_box.h"

#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/list/code_points.h"
#include "widget/list/icu_text_boundary.h"
#include "widget/list/system_timing.h"
#include "widget/menu/context_menu.h"
#include "widget/render/canvas.h"
#include "widget/window/keyboard_state.h"
#include "widget/window/standard_labels.h"
#include "widget/window/system_clipboard.h"
#include "widget/window/window.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::Controls {
namespace {

constexpr std::uint32_t kKeyInsert = 45;
constexpr std::uint32_t kCapsLockKey = 20;
constexpr double kMsPerSecond = 1000;
constexpr float kCompositionUnderline = 1;
constexpr float kTargetClauseUnderline = 2;
constexpr float kBadgeTextShrink = 2;
constexpr float kEyeRadiusX = 7;
constexpr float kEyeRadiusY = 4.5f;
constexpr float kPupilRadius = 2;

bool Has(std::uint32_t modifiers, std::uint32_t bit) {
    return (modifiers & bit) != 0;
}

std::u16string ToUtf16(char32_t c) {
    std::u16string out;
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
    return out;
}

TextFormat BodyFormat(const Theme& theme) {
    TextFormat format;
    format.size = theme.bodySize;
    format.weight = kWeightRegular;
    return format;
}

EditMenuTexts StandardEditMenuTexts() {
    const auto label = [](std::uint32_t id) { return std::u16string(Kit::StandardLabel(id)); };
    EditMenuTexts texts;
    texts.undo = label(Kit::kLabelUndo);
    texts.cut = label(Kit::kLabelCut);
    texts.copy = label(Kit::kLabelCopy);
    texts.paste = label(Kit::kLabelPaste);
    texts.remove = label(Kit::kLabelDelete);
    texts.selectAll = label(Kit::kLabelSelectAll);
    return texts;
}

TextClipboard DesktopClipboard(Window& window) {
    TextClipboard clipboard;
    clipboard.read = [&window]() -> std::optional<std::u16string> {
        std::u16string text;
        if (!TheSystemClipboard().GetText(&window, text))
            return std::nullopt;
        return text;
    };
    clipboard.write = [&window](std::u16string_view text) {
        return TheSystemClipboard().SetText(&window, text);
    };
    clipboard.hasText = [] { return TheSystemClipboard().HasText(); };
    return clipboard;
}

} // namespace

TextBox::TextBox() : m_boundary(Models::IcuTextBoundary::Create()), m_model(*m_boundary) {}

TextBox::~TextBox() {
    StopBlink();
}

Window* TextBox::HostWindow() const {
    return dynamic_cast<Window*>(GetHost());
}

TextClipboard TextBox::ActiveClipboard() const {
    if (m_clipboard.read || m_clipboard.write)
        return m_clipboard;
    if (Window* window = HostWindow())
        return DesktopClipboard(*window);
    return {};
}

std::int64_t TextBox::NowMs() const {
    const auto* host = dynamic_cast<const InputRouter*>(GetHost());
    return host != nullptr ? static_cast<std::int64_t>(host->Now() * kMsPerSecond) : 0;
}

void TextBox::SetTextBoundary(std::unique_ptr<Models::ITextBoundary> boundary) {
    if (!boundary)
        return;
    m_boundary = std::move(boundary);
    m_model.SetBoundary(*m_boundary);
}

void TextBox::SetText(std::u16string text) {
    if (text == m_model.Text())
        return;
    m_model.SetText(std::move(text));
    m_layout.reset();
    RestartBlink();
    RequestRedraw();
}

void TextBox::SetPlaceholder(std::u16string text) {
    m_placeholder = std::move(text);
    m_placeholderLayout.reset();
    RequestRedraw();
}

void TextBox::SetReadOnly(bool readOnly) {
    m_model.SetReadOnly(readOnly);
    RequestRedraw();
}

void TextBox::SetPassword(bool on, bool withReveal) {
    m_password = on;
    m_revealButton = on && withReveal;
    m_revealing = false;
    m_model.ClearComposition();
    m_layout.reset();
    RequestRedraw();
}

void TextBox::SetErrorText(std::u16string text) {
    m_errorText = std::move(text);
    RequestRedraw();
}

void TextBox::SetTextColor(std::optional<Color> color) {
    m_textColor = color;
    RequestRedraw();
}

std::u16string_view TextBox::TooltipText() const {
    if (!m_errorText.empty())
        return m_errorText;
    return Widget::TooltipText();
}

void TextBox::SetTrailingReserve(float width) {
    m_trailingReserve = std::max(0.0f, width);
    m_placeholderLayout.reset();
    RequestRedraw();
}

void TextBox::SelectAll() {
    m_model.SelectAll();
    CaretMoved();
}

void TextBox::Edited(bool changed) {
    if (changed)
        m_layout.reset();
    RestartBlink();
    RequestRedraw();
    if (changed) {
        RaiseAccessibilityEvent(AccessibilityEvent::ValueChanged);
        if (m_onTextChanged)
            m_onTextChanged();
    }
}

void TextBox::CaretMoved() {
    RestartBlink();
    RequestRedraw();
}

void TextBox::RestartBlink() {
    if (!m_focused)
        return;
    m_caretVisible = true;
    StopBlink();
    if (!(m_blinkSeconds > 0))
        return;
    m_blinkTimer = StartTimer(
        m_blinkSeconds,
        [this] {
            m_caretVisible = !m_caretVisible;
            RequestRedraw();
        },
        true);
}

void TextBox::StopBlink() {
    if (m_blinkTimer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_blinkTimer);
    m_blinkTimer = 0;
}

std::u16string TextBox::ShownText() const {
    if (!IsMasked())
        return m_model.DisplayText();
    std::u16string masked;
    const std::u16string& text = m_model.Text();
    for (std::size_t i = 0; i < text.size(); i += Models::DecodeForward(text, i).length)
        masked.push_back(kMaskCharacter);
    return masked;
}

std::size_t TextBox::ToShown(std::size_t position) const {
    if (!IsMasked())
        return position;
    const std::u16string& text = m_model.Text();
    std::size_t count = 0;
    for (std::size_t i = 0; i < position && i < text.size();
         i += Models::DecodeForward(text, i).length)
        ++count;
    return count;
}

std::size_t TextBox::FromShown(std::size_t shown) const {
    if (!IsMasked()) {
        // Inside the composition the caret stays where it is.
        if (!m_model.IsComposing() || shown <= m_model.Caret())
            return std::min(shown, m_model.Text().size());
        const std::size_t after = m_model.Caret() + m_model.Composition().size();
        return shown >= after ? shown - m_model.Composition().size() : m_model.Caret();
    }
    const std::u16string& text = m_model.Text();
    std::size_t i = 0;
    for (std::size_t k = 0; k < shown && i < text.size(); ++k)
        i += Models::DecodeForward(text, i).length;
    return i;
}

const TextLayout& TextBox::ShownLayout() const {
    std::u16string shown = ShownText();
    if (!m_layout || m_layout->Text() != shown)
        m_layout = std::make_unique<TextLayout>(shown, BodyFormat(GetTheme()), TextOptions{});
    return *m_layout;
}

const TextLayout& TextBox::PlaceholderLayout() const {
    if (!m_placeholderLayout) {
        TextOptions options;
        options.trimming = TextTrimming::CharacterEllipsis;
        m_placeholderLayout =
            std::make_unique<TextLayout>(m_placeholder, BodyFormat(GetTheme()), options,
                                         std::max(1.0f, TextRight() - TextLeft()));
    }
    return *m_placeholderLayout;
}

bool TextBox::CapsLockBadgeShown() const {
    if (!m_password || !m_focused)
        return false;
    if (m_capsLock)
        return m_capsLock();
    return HostWindow() != nullptr && IsCapsLockOn();
}

RectF TextBox::RevealButtonRect() const {
    if (!m_revealButton)
        return RectF{};
    return RectF{ActualWidth() - kRevealMargin - kRevealWidth, kRevealMargin, kRevealWidth,
                 std::max(0.0f, ActualHeight() - 2 * kRevealMargin)};
}

float TextBox::TextLeft() const {
    return GetTheme().controlPaddingX;
}

float TextBox::TextRight() const {
    float right = ActualWidth() - GetTheme().controlPaddingX;
    if (m_revealButton)
        right = ActualWidth() - kRevealMargin - kRevealWidth;
    return std::max(TextLeft(), right - m_trailingReserve);
}

float TextBox::TextTop(const TextLayout& layout) const {
    return std::round((ActualHeight() - layout.Size().height) / 2);
}

void TextBox::EnsureCaretVisible() const {
    const TextLayout& layout = ShownLayout();
    const float room = TextRight() - TextLeft();
    const float caret = layout.CaretRect(ToShown(m_model.Caret()) + m_model.CompositionCursor()).x;
    if (caret - m_scrollX > room - kCaretWidth)
        m_scrollX = caret - room + kCaretWidth;
    if (caret < m_scrollX)
        m_scrollX = caret;
    // No empty room after the end while the text could fill it.
    m_scrollX =
        std::clamp(m_scrollX, 0.0f, std::max(0.0f, layout.Size().width + kCaretWidth - room));
    if (caret < m_scrollX)
        m_scrollX = caret;
}

RectF TextBox::CaretRect() const {
    const TextLayout& layout = ShownLayout();
    EnsureCaretVisible();
    const RectF caret = layout.CaretRect(ToShown(m_model.Caret()) + m_model.CompositionCursor());
    return RectF{TextLeft() + caret.x - m_scrollX, TextTop(layout) + caret.y, kCaretWidth,
                 caret.height};
}

PointF TextBox::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

std::size_t TextBox::PositionAt(PointF local) const {
    const TextLayout& layout = ShownLayout();
    const PointF inLayout{
        local.x - TextLeft() + m_scrollX,
        std::clamp(local.y - TextTop(layout), 0.0f, std::max(0.0f, layout.Size().height - 1))};
    const TextLayout::HitTestResult hit = layout.HitTestPoint(inLayout);
    std::size_t shown = hit.position;
    if (hit.trailing)
        shown = m_model.Boundary().NextCharacter(layout.Text(), shown);
    return FromShown(shown);
}

SizeF TextBox::MeasureOverride(SizeF available) {
    const float width = std::isinf(available.width) ? kDefaultWidth : available.width;
    return SizeF{width, GetTheme().controlHeight};
}

void TextBox::OnThemeChanged() {
    DropTextLayouts();
}

void TextBox::DropTextLayouts() {
    m_layout.reset();
    m_placeholderLayout.reset();
}

// Keys.

bool TextBox::OnKeyDown(const KeyEvent& event) {
    const std::uint32_t m = event.modifiers;
    const bool ctrl = Has(m, kModCtrl);
    const bool shift = Has(m, kModShift);
    if (event.virtualKey == kCapsLockKey && m_password) {
        // The badge follows the lock at once.
        RequestRedraw();
        return false;
    }
    if (Has(m, kModAlt))
        return false;
    if (m_model.IsComposing()) {
        // The input method owns the keys while it composes.
        if (event.virtualKey == kKeyEscape) {
            m_model.ClearComposition();
            Edited(false);
        }
        return true;
    }
    const std::int64_t now = NowMs();
    switch (event.virtualKey) {
    case kKeyLeft:
    case kKeyRight: {
        const bool left = event.virtualKey == kKeyLeft;
        // A masked password is one word: Ctrl jumps to its ends.
        if (ctrl && IsMasked())
            left ? m_model.MoveHome(shift) : m_model.MoveEnd(shift);
        else if (left)
            m_model.MoveLeft(ctrl, shift);
        else
            m_model.MoveRight(ctrl, shift);
        CaretMoved();
        return true;
    }
    case kKeyHome:
        m_model.MoveHome(shift);
        CaretMoved();
        return true;
    case kKeyEnd:
        m_model.MoveEnd(shift);
        CaretMoved();
        return true;
    case kKeyBackspace:
        Edited(m_model.DeleteBackward(ctrl && !IsMasked(), now));
        return true;
    case kKeyDelete:
        if (shift && !ctrl) {
            Cut();
            return true;
        }
        Edited(m_model.DeleteForward(ctrl && !IsMasked(), now));
        return true;
    case kKeyInsert:
        if (ctrl && !shift)
            Copy();
        else if (shift && !ctrl)
            Paste();
        return ctrl || shift;
    case kKeyEnter:
        if (!m_onEnter || event.repeat)
            return m_onEnter != nullptr;
        m_onEnter();
        return true;
    case kKeyApps:
        ShowContextMenu(PointF{CaretRect().x, CaretRect().Bottom()});
        return true;
    default:
        break;
    }
    if (event.virtualKey == KeyF(10) && shift && !ctrl) {
        ShowContextMenu(PointF{CaretRect().x, CaretRect().Bottom()});
        return true;
    }
    if (!ctrl)
        return false;
    switch (event.virtualKey) {
    case KeyOf('A'):
        SelectAll();
        return true;
    case KeyOf('C'):
        Copy();
        return true;
    case KeyOf('X'):
        Cut();
        return true;
    case KeyOf('V'):
        Paste();
        return true;
    case KeyOf('Z'):
        shift ? Redo() : Undo();
        return true;
    case KeyOf('Y'):
        Redo();
        return true;
    default:
        return false;
    }
}

bool TextBox::OnChar(const CharEvent& event) {
    if (event.typedWithAlt || Has(event.modifiers, kModCtrl))
        return false;
    if (m_charFilter && !m_charFilter(event.character))
        return true;
    if (IsReadOnly())
        return true;
    Edited(m_model.Type(ToUtf16(event.character), NowMs()));
    return true;
}

// Clipboard and undo.

void TextBox::Copy() {
    // A masked password never leaves the box.
    if (IsMasked() || !m_model.HasSelection())
        return;
    const TextClipboard clipboard = ActiveClipboard();
    if (clipboard.write)
        clipboard.write(m_model.SelectedText());
}

void TextBox::Cut() {
    if (IsMasked() || IsReadOnly() || !m_model.HasSelection())
        return;
    const TextClipboard clipboard = ActiveClipboard();
    if (!clipboard.write || !clipboard.write(m_model.SelectedText()))
        return;
    Edited(m_model.DeleteSelection(NowMs()));
}

void TextBox::Paste() {
    if (IsReadOnly())
        return;
    const TextClipboard clipboard = ActiveClipboard();
    if (!clipboard.read)
        return;
    const std::optional<std::u16string> text = clipboard.read();
    if (!text)
        return;
    std::u16string accepted;
    if (m_charFilter) {
        for (std::size_t i = 0; i < text->size();) {
            const Models::CodePointAt c = Models::DecodeForward(*text, i);
            if (m_charFilter(c.value))
                accepted.append(*text, i, c.length);
            i += c.length;
        }
    } else {
        accepted = *text;
    }
    Edited(m_model.Paste(accepted, NowMs()));
}

void TextBox::Undo() {
    Edited(m_model.Undo());
}

void TextBox::Redo() {
    Edited(m_model.Redo());
}

std::vector<MenuItem> TextBox::EditMenuItems() const {
    EditMenuState state;
    const bool selection = m_model.HasSelection();
    const bool writable = !IsReadOnly();
    const TextClipboard active = ActiveClipboard();
    const bool clipboard = active.write != nullptr;
    state.canUndo = writable && m_model.CanUndo();
    state.canCut = writable && selection && !IsMasked() && clipboard;
    state.canCopy = selection && !IsMasked() && clipboard;
    state.canPaste = writable && active.read != nullptr && (!active.hasText || active.hasText());
    state.canDelete = writable && selection;
    state.canSelectAll =
        !m_model.Text().empty() &&
        (m_model.SelectionEnd() - m_model.SelectionStart()) < m_model.Text().size();
    const bool standard = !m_menuTextsSet && HostWindow() != nullptr;
    return BuildEditMenu(standard ? StandardEditMenuTexts() : m_menuTexts, state);
}

void TextBox::ExecuteEditCommand(std::uint32_t id) {
    switch (id) {
    case kEditUndo:
        Undo();
        break;
    case kEditCut:
        Cut();
        break;
    case kEditCopy:
        Copy();
        break;
    case kEditPaste:
        Paste();
        break;
    case kEditDelete:
        Edited(m_model.DeleteSelection(NowMs()));
        break;
    case kEditSelectAll:
        SelectAll();
        break;
    default:
        break;
    }
}

void TextBox::ShowContextMenu(PointF at) {
    if (m_contextMenu) {
        m_contextMenu(EditMenuItems(), at);
        return;
    }
    Window* window = HostWindow();
    if (window == nullptr)
        return;
    if (m_editMenu == nullptr)
        m_editMenu = std::make_unique<Menus::ContextMenu>();
    m_editMenu->SetItems(EditMenuItems());
    // The choice arrives from a posted task, after the menu has closed.
    m_editMenu->SetOnItemChosen([self = std::weak_ptr<TextBox*>(m_self)](MenuItem item) {
        if (const std::shared_ptr<TextBox*> box = self.lock())
            (*box)->ExecuteEditCommand(item.id);
    });
    const RectF bounds = BoundsInWindow();
    m_editMenu->Show(*window, PointF{bounds.x + at.x, bounds.y + at.y});
}

// Input method.

bool TextBox::OnIme(const ImeEvent& event) {
    if (!AllowsIme())
        return false;
    switch (event.kind) {
    case ImeEventKind::CompositionStarted:
        // The composition takes the selection's place.
        if (m_model.HasSelection())
            Edited(m_model.DeleteSelection(NowMs()));
        return true;
    case ImeEventKind::CompositionChanged:
        m_model.SetComposition(event.text, static_cast<std::size_t>(std::max(0, event.cursor)));
        Edited(false);
        return true;
    case ImeEventKind::ResultCommitted:
        Edited(m_model.Commit(event.text, NowMs()));
        return true;
    case ImeEventKind::CompositionEnded:
        m_model.ClearComposition();
        Edited(false);
        return true;
    }
    return false;
}

// Pointer.

bool TextBox::OnPointerDown(const PointerEvent& event) {
    const PointF local = ToLocal(event.position);
    if (!IsEnabled())
        return true;
    RequestFocus(false);
    if (event.button == PointerButton::Right) {
        const std::size_t at = PositionAt(local);
        if (at < m_model.SelectionStart() || at > m_model.SelectionEnd() || !m_model.HasSelection())
            m_model.MoveTo(at, false);
        m_rightPressed = true;
        CaretMoved();
        return true;
    }
    if (event.button != PointerButton::Left)
        return false;
    if (m_revealButton && RevealButtonRect().Contains(local)) {
        m_revealing = true;
        m_layout.reset();
        if (GetHost() != nullptr)
            GetHost()->SetCapture(this);
        RequestRedraw();
        return true;
    }
    m_model.ClearComposition();
    const std::size_t at = PositionAt(local);
    if (event.clickCount >= 2) {
        if (IsMasked())
            m_model.SelectAll();
        else
            m_model.SelectWordAt(at);
    } else {
        m_model.MoveTo(at, Has(event.modifiers, kModShift));
        m_selecting = true;
    }
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    CaretMoved();
    return true;
}

bool TextBox::OnPointerMove(const PointerEvent& event) {
    if (!m_selecting)
        return false;
    m_model.MoveTo(PositionAt(ToLocal(event.position)), true);
    CaretMoved();
    return true;
}

bool TextBox::OnPointerUp(const PointerEvent& event) {
    if (event.button == PointerButton::Right && m_rightPressed) {
        m_rightPressed = false;
        ShowContextMenu(ToLocal(event.position));
        return true;
    }
    if (event.button != PointerButton::Left)
        return false;
    const bool wasRevealing = m_revealing;
    m_selecting = false;
    m_revealing = false;
    if (wasRevealing)
        m_layout.reset();
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    RequestRedraw();
    return true;
}

void TextBox::OnCaptureLost() {
    m_selecting = false;
    if (m_revealing) {
        m_revealing = false;
        m_layout.reset();
        RequestRedraw();
    }
}

void TextBox::OnPointerEnter() {
    m_hovered = true;
    RequestRedraw();
}

void TextBox::OnPointerLeave() {
    m_hovered = false;
    RequestRedraw();
}

void TextBox::OnFocusChanged(bool focused) {
    m_focused = focused;
    if (focused) {
        m_blinkSeconds = CaretBlinkSeconds();
        RestartBlink();
    } else {
        StopBlink();
        m_caretVisible = false;
        m_model.ClearComposition();
        if (m_revealing) {
            m_revealing = false;
            m_layout.reset();
        }
    }
    RequestRedraw();
    if (!focused && m_onFocusLost)
        m_onFocusLost();
}

// Drawing.

void TextBox::DrawSelectionAndText(Canvas& canvas, const TextLayout& layout, PointF origin,
                                   Color color) const {
    canvas.DrawTextLayout(layout, origin, color);
    if (!m_model.HasSelection() || m_model.IsComposing())
        return;
    const Theme& theme = GetTheme();
    const RectF from = layout.CaretRect(ToShown(m_model.SelectionStart()));
    const RectF to = layout.CaretRect(ToShown(m_model.SelectionEnd()));
    const RectF selection{origin.x + from.x, origin.y + from.y, to.x - from.x, from.height};
    const Color fill = m_focused ? theme.accent : theme.controlFillPressed;
    canvas.FillRect(selection, fill);
    // The selected characters again, in the colour that reads on the fill.
    canvas.PushClip(selection);
    canvas.DrawTextLayout(layout, origin, m_focused ? theme.textOnAccent : color);
    canvas.PopClip();
}

void TextBox::DrawRevealButton(Canvas& canvas) const {
    const Theme& theme = GetTheme();
    const RectF button = RevealButtonRect();
    if (m_revealing)
        canvas.FillRoundedRect(button, theme.controlCornerRadius, theme.subtleFillPressed);
    const Color ink = IsEnabled() ? theme.textSecondary : theme.textTertiary;
    const PointF centre{button.x + button.width / 2, button.y + button.height / 2};
    // An eye: an outlined almond with a round pupil.
    const float line = 1.5f;
    const RectF almond{centre.x - kEyeRadiusX, centre.y - kEyeRadiusY, 2 * kEyeRadiusX,
                       2 * kEyeRadiusY};
    canvas.StrokeRoundedRect(
        RectF{almond.x + line / 2, almond.y + line / 2, almond.width - line, almond.height - line},
        kEyeRadiusY - line / 2, ink, line);
    canvas.FillEllipse(centre, kPupilRadius, kPupilRadius, ink);
}

void TextBox::DrawCapsLockBadge(Canvas& canvas) const {
    const Theme& theme = GetTheme();
    TextFormat format = BodyFormat(theme);
    format.size = theme.bodySize - kBadgeTextShrink;
    const TextLayout text(u"Caps Lock", format, TextOptions{});
    const float width = std::max(kBadgeMinWidth, text.Size().width + kBadgePadding);
    const float right =
        m_revealButton ? RevealButtonRect().x - kBadgeGap : ActualWidth() - kRevealMargin;
    const float height = text.Size().height + kBadgeGap;
    const RectF badge{right - width, (ActualHeight() - height) / 2, width, height};
    canvas.FillRoundedRect(badge, theme.controlCornerRadius, theme.caution);
    canvas.DrawTextLayout(text,
                          PointF{badge.x + (width - text.Size().width) / 2,
                                 badge.y + (height - text.Size().height) / 2},
                          theme.kind == ThemeKind::Dark ? Black() : White());
}

void TextBox::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const bool enabled = IsEnabled();
    const bool error = !m_errorText.empty();
    const RectF box{0, 0, ActualWidth(), ActualHeight()};
    const float radius = theme.controlCornerRadius;
    Color fill = theme.controlFill;
    if (!enabled)
        fill = theme.controlFillDisabled;
    else if (m_focused)
        fill = theme.flyoutBackground;
    else if (m_hovered)
        fill = theme.controlFillHover;
    canvas.FillRoundedRect(box, radius, fill);
    const float hairline = canvas.Hairline();
    const Color outline = error      ? theme.critical
                          : !enabled ? theme.controlStrokeDisabled
                                     : theme.controlStroke;
    canvas.StrokeRoundedRect(
        RectF{hairline / 2, hairline / 2, box.width - hairline, box.height - hairline}, radius,
        outline, hairline);
    // The bottom edge inside the rounded shape.
    canvas.PushClip(box);
    if (error || (m_focused && enabled)) {
        const RectF bar{radius / 2, box.height - kBottomBar, box.width - radius, kBottomBar};
        canvas.FillRect(bar, error ? theme.critical : theme.accent);
    } else if (enabled) {
        canvas.FillRect(RectF{radius / 2, box.height - hairline, box.width - radius, hairline},
                        theme.controlStrongStroke);
    }
    canvas.PopClip();

    const RectF textArea{TextLeft(), 0, TextRight() - TextLeft(), box.height};
    canvas.PushClip(textArea);
    const TextLayout& layout = ShownLayout();
    if (m_model.Text().empty() && !m_model.IsComposing() && !m_placeholder.empty()) {
        const TextLayout& placeholder = PlaceholderLayout();
        canvas.DrawTextLayout(placeholder, PointF{TextLeft(), TextTop(placeholder)},
                              enabled ? theme.textPlaceholder : theme.textTertiary);
    } else {
        EnsureCaretVisible();
        const PointF origin{TextLeft() - m_scrollX, TextTop(layout)};
        const Color color = !enabled ? theme.textTertiary : m_textColor.value_or(theme.textPrimary);
        DrawSelectionAndText(canvas, layout, origin, color);
        if (m_model.IsComposing()) {
            const std::size_t start = m_model.Caret();
            const std::size_t end = start + m_model.Composition().size();
            const RectF a = layout.CaretRect(start);
            const RectF b = layout.CaretRect(end);
            canvas.FillRect(RectF{origin.x + a.x, origin.y + a.Bottom() - kTargetClauseUnderline,
                                  b.x - a.x, kCompositionUnderline},
                            color);
        }
    }
    if (m_focused && m_caretVisible && enabled) {
        EnsureCaretVisible();
        const RectF caret = CaretRect();
        canvas.FillRect(caret, m_textColor.value_or(theme.textPrimary));
    }
    canvas.PopClip();
    if (m_revealButton)
        DrawRevealButton(canvas);
    if (CapsLockBadgeShown())
        DrawCapsLockBadge(canvas);
}

} // namespace Velto::Widget::Controls
