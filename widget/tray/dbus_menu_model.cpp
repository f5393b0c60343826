#include "widget/tray/dbus_menu_model.h"

#include "base/utf.h"

#include <algorithm>

namespace Velto::Widget::Kit {

DbusMenuModel::DbusMenuModel(const std::vector<MenuItem>& items) {
    m_entries.push_back(Entry{});
    m_entries.front().item.kind = MenuItemKind::Submenu;
    Add(items, 0);
}

void DbusMenuModel::Add(const std::vector<MenuItem>& items, std::int32_t parent) {
    for (const MenuItem& item : items) {
        const auto id = static_cast<std::int32_t>(m_entries.size());
        Entry entry;
        entry.item = item;
        entry.item.items.clear();
        entry.parent = parent;
        m_entries.push_back(std::move(entry));
        m_entries[static_cast<std::size_t>(parent)].children.push_back(id);
        if (item.IsSubmenu())
            Add(item.items, id);
    }
}

const DbusMenuModel::Entry* DbusMenuModel::Find(std::int32_t id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= m_entries.size())
        return nullptr;
    return &m_entries[static_cast<std::size_t>(id)];
}

DbusMenuModel::Entry* DbusMenuModel::Find(std::int32_t id) {
    return const_cast<Entry*>(std::as_const(*this).Find(id));
}

std::vector<DbusMenuModel::Property>
DbusMenuModel::Properties(std::int32_t id, std::span<const std::string> names) const {
    std::vector<Property> all;
    const Entry* entry = Find(id);
    if (entry == nullptr)
        return all;
    const MenuItem& item = entry->item;
    if (id == 0) {
        all.emplace_back("children-display", std::string("submenu"));
    } else if (item.IsSeparator()) {
        all.emplace_back("type", std::string("separator"));
    } else {
        all.emplace_back("label", MenuLabel(item.text));
        if (!item.enabled)
            all.emplace_back("enabled", false);
        if (item.kind == MenuItemKind::Check || item.kind == MenuItemKind::Radio) {
            all.emplace_back("toggle-type",
                             std::string(item.kind == MenuItemKind::Check ? "checkmark" : "radio"));
            all.emplace_back("toggle-state", std::int32_t{item.checked ? 1 : 0});
        }
        if (item.IsSubmenu())
            all.emplace_back("children-display", std::string("submenu"));
    }
    if (names.empty())
        return all;
    std::vector<Property> named;
    for (Property& property : all) {
        if (std::find(names.begin(), names.end(), property.first) != names.end())
            named.push_back(std::move(property));
    }
    return named;
}

std::vector<std::int32_t> DbusMenuModel::Choose(std::int32_t id) {
    std::vector<std::int32_t> changed;
    Entry* entry = Find(id);
    if (entry == nullptr || id == 0 || !entry->item.IsSelectable())
        return changed;
    if (entry->item.kind == MenuItemKind::Check) {
        entry->item.checked = !entry->item.checked;
        changed.push_back(id);
    } else if (entry->item.kind == MenuItemKind::Radio) {
        const std::uint32_t group = entry->item.radioGroup;
        for (const std::int32_t sibling :
             m_entries[static_cast<std::size_t>(entry->parent)].children) {
            MenuItem& other = m_entries[static_cast<std::size_t>(sibling)].item;
            if (other.kind != MenuItemKind::Radio || other.radioGroup != group)
                continue;
            const bool checked = sibling == id;
            if (other.checked != checked) {
                other.checked = checked;
                changed.push_back(sibling);
            }
        }
    }
    return changed;
}

std::string MenuLabel(std::u16string_view text) {
    std::u16string label;
    label.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&') {
            if (i + 1 >= text.size())
                continue;
            if (text[i + 1] == u'&') {
                label.push_back(u'&');
                ++i;
            } else {
                label.push_back(u'_');
            }
            continue;
        }
        if (c == u'_')
            label.push_back(u'_');
        label.push_back(c);
    }
    return Utf16ToUtf8(label);
}

} // namespace Velto::Widget::Kit
