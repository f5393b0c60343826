#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Widget::List {

// What a row may carry besides its texts: an icon glyph and the owner's
// own data.
struct RowExtra {
    char32_t icon{0};
    std::uintptr_t data{0};
};

// The rows a list view shows. The list asks only for the rows it draws and
// never observes the source: after a change the owner calls Reload.
class IListDataSource {
public:
    virtual ~IListDataSource() = default;

    // Negative counts as 0.
    virtual std::int64_t RowCount() const = 0;
    // Empty when there is no such cell. The view must stay valid until the
    // next call into the source.
    virtual std::u16string_view CellText(std::int64_t row, std::int32_t columnId) const = 0;
    virtual RowExtra GetRowExtra(std::int64_t /*row*/) const { return {}; }
};

} // namespace Velto::Widget::List
