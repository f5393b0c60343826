#include "widget/controls/undo_history.h"

namespace Velto::Widget::Controls {

bool UndoHistory::TryMerge(const EditRecord& edit) {
    if (m_undo.empty())
        return false;
    EditRecord& last = m_undo.back();
    if (last.kind == EditKind::Other || edit.kind != last.kind)
        return false;
    if (edit.timeMs < last.timeMs || edit.timeMs - last.timeMs > kMergeWindowMs)
        return false;
    switch (edit.kind) {
    case EditKind::Typing:
        if (!edit.removed.empty() || edit.position != last.position + last.inserted.size())
            return false;
        last.inserted += edit.inserted;
        break;
    case EditKind::BackwardDelete:
        if (!edit.inserted.empty() || edit.position + edit.removed.size() != last.position)
            return false;
        last.removed.insert(0, edit.removed);
        last.position = edit.position;
        break;
    case EditKind::ForwardDelete:
        if (!edit.inserted.empty() || edit.position != last.position)
            return false;
        last.removed += edit.removed;
        break;
    case EditKind::Other:
        return false;
    }
    last.caretAfter = edit.caretAfter;
    last.timeMs = edit.timeMs;
    return true;
}

void UndoHistory::Record(EditRecord edit) {
    m_redo.clear();
    if (TryMerge(edit))
        return;
    m_undo.push_back(std::move(edit));
    while (m_undo.size() > kMaxRecords)
        m_undo.pop_front();
}

std::optional<EditRecord> UndoHistory::TakeUndo() {
    if (m_undo.empty())
        return std::nullopt;
    EditRecord record = std::move(m_undo.back());
    m_undo.pop_back();
    m_redo.push_back(record);
    return record;
}

std::optional<EditRecord> UndoHistory::TakeRedo() {
    if (m_redo.empty())
        return std::nullopt;
    EditRecord record = std::move(m_redo.back());
    m_redo.pop_back();
    // A redone edit can be undone again, but never merges with what follows.
    EditRecord again = record;
    again.kind = EditKind::Other;
    m_undo.push_back(std::move(again));
    return record;
}

void UndoHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
}

} // namespace Velto::Widget::Controls
