#pragma once

#include "widget/controls/undo_history.h"
#include "widget/list/text_boundary.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Widget::Controls {

// The text of a single-line text box with its caret, selection, undo
// history and input-method composition; no drawing. Positions are UTF-16
// indices on character boundaries. Edits return whether the text changed.
class EditModel {
public:
    explicit EditModel(const Models::ITextBoundary& boundary) : m_boundary(&boundary) {}

    void SetBoundary(const Models::ITextBoundary& boundary) { m_boundary = &boundary; }
    const Models::ITextBoundary& Boundary() const { return *m_boundary; }

    const std::u16string& Text() const { return m_text; }
    // Replaces the text (no undo step); the caret goes to the end.
    void SetText(std::u16string text);
    // UTF-16 units; 0 means no limit. Longer text already there stays.
    void SetMaxLength(std::size_t length) { m_maxLength = length; }
    std::size_t MaxLength() const { return m_maxLength; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }

    std::size_t Caret() const { return m_caret; }
    std::size_t Anchor() const { return m_anchor; }
    std::size_t SelectionStart() const { return std::min(m_caret, m_anchor); }
    std::size_t SelectionEnd() const { return std::max(m_caret, m_anchor); }
    bool HasSelection() const { return m_caret != m_anchor; }
    std::u16string SelectedText() const;

    // Caret movement; `extend` keeps the anchor (Shift).
    void MoveTo(std::size_t position, bool extend);
    void MoveLeft(bool word, bool extend);
    void MoveRight(bool word, bool extend);
    void MoveHome(bool extend) { MoveTo(0, extend); }
    void MoveEnd(bool extend) { MoveTo(m_text.size(), extend); }
    void SelectAll();
    // Selects the word around `position`.
    void SelectWordAt(std::size_t position);

    // Typed text replaces the selection; refused whole when it would pass
    // the maximum length.
    bool Type(std::u16string_view text, std::int64_t nowMs);
    // Pasted text replaces the selection: only its first line, cut to the
    // room the maximum length leaves.
    bool Paste(std::u16string_view text, std::int64_t nowMs);
    // Backspace and Delete: the selection, else the character (or word)
    // before or after the caret.
    bool DeleteBackward(bool word, std::int64_t nowMs);
    bool DeleteForward(bool word, std::int64_t nowMs);
    // Cut and the menu's Delete.
    bool DeleteSelection(std::int64_t nowMs);
    // Replaces the whole text as one undoable edit.
    bool ReplaceAll(std::u16string_view text, std::int64_t nowMs);

    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    bool Undo();
    bool Redo();
    const UndoHistory& History() const { return m_history; }

    // Input-method composition, shown at the caret but not part of the
    // text until committed.
    const std::u16string& Composition() const { return m_composition; }
    std::size_t CompositionCursor() const { return m_compositionCursor; }
    bool IsComposing() const { return !m_composition.empty(); }
    void SetComposition(std::u16string text, std::size_t cursor);
    void ClearComposition();
    // Inserts the result in place of the selection as one edit.
    bool Commit(std::u16string_view result, std::int64_t nowMs);

    // The text with the composition at the caret, and the caret in it.
    std::u16string DisplayText() const;
    std::size_t DisplayCaret() const;

private:
    // Replaces [position, position + length) with `inserted` and records it.
    bool Replace(std::size_t position, std::size_t length, std::u16string_view inserted,
                 EditKind kind, std::int64_t nowMs);
    // The longest prefix of `text` that fits `room` units without cutting a
    // surrogate pair.
    static std::u16string_view FitTo(std::u16string_view text, std::size_t room);
    std::size_t Room() const;

    const Models::ITextBoundary* m_boundary;
    std::u16string m_text;
    std::size_t m_caret{0};
    std::size_t m_anchor{0};
    std::size_t m_maxLength{0};
    bool m_readOnly{false};
    UndoHistory m_history;
    std::u16string m_composition;
    std::size_t m_compositionCursor{0};
};

} // namespace Velto::Widget::Controls
