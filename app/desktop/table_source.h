#pragma once

#include "widget/list/list_data_source.h"

#include <string>
#include <vector>

namespace App {

// The rows of a table page (accounts, access log): each a list of cell
// texts, column id = position in the row.
class TableSource final : public Velto::Widget::List::IListDataSource {
public:
    using Row = std::vector<std::u16string>;

    void Clear() { m_rows.clear(); }
    void AddRow(Row row) { m_rows.push_back(std::move(row)); }

    std::int64_t RowCount() const override { return static_cast<std::int64_t>(m_rows.size()); }
    std::u16string_view CellText(std::int64_t row, std::int32_t columnId) const override;

private:
    std::vector<Row> m_rows;
};

} // namespace App
