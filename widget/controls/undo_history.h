#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget::Controls {

// What an edit was, for merging runs of typing and deleting into one step.
enum class EditKind : std::int32_t {
    Other = 0, // paste, cut, replacing the text, an input-method result
    Typing = 1,
    BackwardDelete = 2,
    ForwardDelete = 3,
};

// One undoable edit: at `position`, `removed` gave way to `inserted`.
struct EditRecord {
    std::size_t position{0};
    std::u16string removed;
    std::u16string inserted;
    std::size_t caretBefore{0};
    std::size_t caretAfter{0};
    EditKind kind{EditKind::Other};
    std::int64_t timeMs{0};
};

// The undo and redo stacks of a text box. Typing and deleting within a
// second of the previous edit of the same kind, continuing where it ended,
// merge into one record.
class UndoHistory {
public:
    static constexpr std::size_t kMaxRecords = 1000;
    static constexpr std::int64_t kMergeWindowMs = 1000;

    // Records an edit; clears the redo stack.
    void Record(EditRecord edit);
    // The newest record moves to the redo stack (or back), or none.
    std::optional<EditRecord> TakeUndo();
    std::optional<EditRecord> TakeRedo();
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    void Clear();
    const std::deque<EditRecord>& UndoRecords() const { return m_undo; }

private:
    bool TryMerge(const EditRecord& edit);

    std::deque<EditRecord> m_undo;
    std::vector<EditRecord> m_redo;
};

} // namespace Velto::Widget::Controls
