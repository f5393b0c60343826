#include "app/desktop/table_source.h"

namespace App {

std::u16string_view TableSource::CellText(std::int64_t row, std::int32_t columnId) const {
    if (row < 0 || row >= RowCount() || columnId < 0)
        return {};
    const Row& cells = m_rows[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(columnId) >= cells.size())
        return {};
    return cells[static_cast<std::size_t>(columnId)];
}

} // namespace App
