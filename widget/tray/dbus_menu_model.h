#pragma once

#include "widget/menu/menu_item.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace Velto::Widget::Kit {

// A menu as the desktop's menu service (com.canonical.dbusmenu) sees it:
// every item gets a number, 0 being the invisible root, in depth-first
// order; items keep their own fields and their children's numbers.
class DbusMenuModel {
public:
    using Value = std::variant<bool, std::int32_t, std::string>;
    using Property = std::pair<std::string, Value>;

    struct Entry {
        MenuItem item; // without its sub-items; `children` stands for them
        std::int32_t parent{-1};
        std::vector<std::int32_t> children;
    };

    DbusMenuModel() { m_entries.push_back(Entry{}); }
    explicit DbusMenuModel(const std::vector<MenuItem>& items);

    const Entry* Find(std::int32_t id) const;
    Entry* Find(std::int32_t id);
    std::size_t Size() const { return m_entries.size(); }

    // The item's properties that differ from the service's defaults, in a
    // fixed order; only the named ones when `names` is not empty.
    std::vector<Property> Properties(std::int32_t id,
                                     std::span<const std::string> names = {}) const;

    // What choosing an item does to the model: a check item toggles, a radio
    // item unchecks its group in the same level and checks itself. Returns
    // the numbers of the items whose state changed.
    std::vector<std::int32_t> Choose(std::int32_t id);

private:
    void Add(const std::vector<MenuItem>& items, std::int32_t parent);

    std::vector<Entry> m_entries;
};

// "&File" becomes "_File" (the service marks access keys with "_"); "&&"
// becomes "&", and a literal "_" is doubled.
std::string MenuLabel(std::u16string_view text);

} // namespace Velto::Widget::Kit
