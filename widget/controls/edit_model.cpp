#include "widget/controls/edit_model.h"

#include <algorithm>

namespace Velto::Widget::Controls {
namespace {

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

void EditModel::SetText(std::u16string text) {
    m_text = std::move(text);
    m_caret = m_anchor = m_text.size();
    m_history.Clear();
    m_composition.clear();
}

std::u16string EditModel::SelectedText() const {
    return m_text.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void EditModel::MoveTo(std::size_t position, bool extend) {
    m_caret = std::min(position, m_text.size());
    if (!extend)
        m_anchor = m_caret;
}

void EditModel::MoveLeft(bool word, bool extend) {
    if (!extend && !word && HasSelection()) {
        MoveTo(SelectionStart(), false);
        return;
    }
    MoveTo(word ? m_boundary->PreviousWord(m_text, m_caret)
                : m_boundary->PreviousCharacter(m_text, m_caret),
           extend);
}

void EditModel::MoveRight(bool word, bool extend) {
    if (!extend && !word && HasSelection()) {
        MoveTo(SelectionEnd(), false);
        return;
    }
    MoveTo(word ? m_boundary->NextWord(m_text, m_caret)
                : m_boundary->NextCharacter(m_text, m_caret),
           extend);
}

void EditModel::SelectAll() {
    m_anchor = 0;
    m_caret = m_text.size();
}

void EditModel::SelectWordAt(std::size_t position) {
    position = std::min(position, m_text.size());
    const std::size_t end = m_boundary->NextWord(m_text, position);
    // The start of the word that holds `position`.
    std::size_t start = position;
    if (position < m_text.size())
        start = m_boundary->PreviousWord(m_text, m_boundary->NextCharacter(m_text, position));
    else
        start = m_boundary->PreviousWord(m_text, position);
    m_anchor = std::min(start, position);
    m_caret = std::max(end, position);
}

std::size_t EditModel::Room() const {
    if (m_maxLength == 0)
        return SIZE_MAX;
    const std::size_t kept = m_text.size() - (SelectionEnd() - SelectionStart());
    return kept >= m_maxLength ? 0 : m_maxLength - kept;
}

std::u16string_view EditModel::FitTo(std::u16string_view text, std::size_t room) {
    if (text.size() <= room)
        return text;
    std::size_t length = room;
    if (length > 0 && length < text.size() && IsLowSurrogate(text[length]))
        --length;
    return text.substr(0, length);
}

bool EditModel::Replace(std::size_t position, std::size_t length, std::u16string_view inserted,
                        EditKind kind, std::int64_t nowMs) {
    if (length == 0 && inserted.empty())
        return false;
    EditRecord record;
    record.position = position;
    record.removed = m_text.substr(position, length);
    record.inserted = std::u16string(inserted);
    record.caretBefore = m_caret;
    record.kind = kind;
    record.timeMs = nowMs;
    m_text.replace(position, length, inserted);
    m_caret = m_anchor = position + inserted.size();
    record.caretAfter = m_caret;
    m_history.Record(std::move(record));
    return true;
}

bool EditModel::Type(std::u16string_view text, std::int64_t nowMs) {
    if (m_readOnly || text.empty() || text.size() > Room())
        return false;
    return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), text, EditKind::Typing,
                   nowMs);
}

bool EditModel::Paste(std::u16string_view text, std::int64_t nowMs) {
    if (m_readOnly)
        return false;
    const std::size_t lineEnd = text.find_first_of(u"\r\n");
    if (lineEnd != std::u16string_view::npos)
        text = text.substr(0, lineEnd);
    text = FitTo(text, Room());
    return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), text, EditKind::Other,
                   nowMs);
}

bool EditModel::DeleteBackward(bool word, std::int64_t nowMs) {
    if (m_readOnly)
        return false;
    if (HasSelection())
        return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), {},
                       EditKind::BackwardDelete, nowMs);
    if (m_caret == 0)
        return false;
    const std::size_t from = word ? m_boundary->PreviousWord(m_text, m_caret)
                                  : m_boundary->PreviousCharacter(m_text, m_caret);
    return Replace(from, m_caret - from, {}, EditKind::BackwardDelete, nowMs);
}

bool EditModel::DeleteForward(bool word, std::int64_t nowMs) {
    if (m_readOnly)
        return false;
    if (HasSelection())
        return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), {},
                       EditKind::ForwardDelete, nowMs);
    if (m_caret >= m_text.size())
        return false;
    const std::size_t to =
        word ? m_boundary->NextWord(m_text, m_caret) : m_boundary->NextCharacter(m_text, m_caret);
    return Replace(m_caret, to - m_caret, {}, EditKind::ForwardDelete, nowMs);
}

bool EditModel::DeleteSelection(std::int64_t nowMs) {
    if (m_readOnly || !HasSelection())
        return false;
    return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), {}, EditKind::Other, nowMs);
}

bool EditModel::ReplaceAll(std::u16string_view text, std::int64_t nowMs) {
    if (text == m_text)
        return false;
    const std::size_t caret = m_caret;
    m_anchor = 0;
    m_caret = m_text.size();
    if (!Replace(0, m_text.size(), text, EditKind::Other, nowMs)) {
        m_caret = m_anchor = caret;
        return false;
    }
    return true;
}

bool EditModel::Undo() {
    if (m_readOnly)
        return false;
    const std::optional<EditRecord> record = m_history.TakeUndo();
    if (!record)
        return false;
    m_text.replace(record->position, record->inserted.size(), record->removed);
    m_caret = m_anchor = std::min(record->caretBefore, m_text.size());
    return true;
}

bool EditModel::Redo() {
    if (m_readOnly)
        return false;
    const std::optional<EditRecord> record = m_history.TakeRedo();
    if (!record)
        return false;
    m_text.replace(record->position, record->removed.size(), record->inserted);
    m_caret = m_anchor = std::min(record->caretAfter, m_text.size());
    return true;
}

void EditModel::SetComposition(std::u16string text, std::size_t cursor) {
    m_composition = std::move(text);
    m_compositionCursor = std::min(cursor, m_composition.size());
}

void EditModel::ClearComposition() {
    m_composition.clear();
    m_compositionCursor = 0;
}

bool EditModel::Commit(std::u16string_view result, std::int64_t nowMs) {
    ClearComposition();
    if (m_readOnly)
        return false;
    result = FitTo(result, Room());
    return Replace(SelectionStart(), SelectionEnd() - SelectionStart(), result, EditKind::Other,
                   nowMs);
}

std::u16string EditModel::DisplayText() const {
    if (m_composition.empty())
        return m_text;
    std::u16string shown = m_text;
    shown.insert(m_caret, m_composition);
    return shown;
}

std::size_t EditModel::DisplayCaret() const {
    return m_caret + m_compositionCursor;
}

} // namespace Velto::Widget::Controls
