#include "config/config.h"

#include "base/ordinal_compare.h"

#include <algorithm>

namespace Velto::Corvane {
namespace {

constexpr std::size_t kMaxNameUnits = 64;
constexpr std::u16string_view kShareNameForbidden = u"\\/:*?\"<>|";

bool IsControlOrDel(char16_t unit) {
    return unit < 0x20 || unit == 0x7F;
}

template <typename Items> auto FindById(Items& items, std::string_view id) {
    auto it = std::find_if(items.begin(), items.end(), [&](const auto& s) { return s.id == id; });
    return it == items.end() ? nullptr : &*it;
}

template <typename Items> auto FindByName(Items& items, std::u16string_view name) {
    auto it = std::find_if(items.begin(), items.end(),
                           [&](const auto& item) { return EqualsIgnoreCase(item.name, name); });
    return it == items.end() ? nullptr : &*it;
}

} // namespace

AccessFlags Share::EffectiveAccess(const Account* account, bool unlocked) const {
    AccessFlags rights = AccessFlags::None;
    if (password.empty() || unlocked)
        rights = NormalizeAccess(guest);
    if (account) {
        const auto entry = account->access.find(id);
        if (entry != account->access.end())
            rights |= NormalizeAccess(entry->second);
    }
    if (readOnly || file)
        rights = rights & AccessFlags::Read;
    return rights;
}

const Share* Config::FindShareById(std::string_view id) const {
    return FindById(shares, id);
}
Share* Config::FindShareById(std::string_view id) {
    return FindById(shares, id);
}
const Share* Config::FindShareByName(std::u16string_view name) const {
    return FindByName(shares, name);
}
Share* Config::FindShareByName(std::u16string_view name) {
    return FindByName(shares, name);
}
const Account* Config::FindAccount(std::u16string_view name) const {
    return FindByName(accounts, name);
}
Account* Config::FindAccount(std::u16string_view name) {
    return FindByName(accounts, name);
}
const ShareLink* Config::FindLinkById(std::string_view id) const {
    return FindById(links, id);
}
ShareLink* Config::FindLinkById(std::string_view id) {
    return FindById(links, id);
}

bool IsValidShareName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxNameUnits)
        return false;
    for (const char16_t edge : {name.front(), name.back()}) {
        if (edge == u' ' || edge == u'.')
            return false;
    }
    return std::none_of(name.begin(), name.end(), [](char16_t unit) {
        return IsControlOrDel(unit) || kShareNameForbidden.find(unit) != std::u16string_view::npos;
    });
}

bool IsValidAccountName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxNameUnits)
        return false;
    if (name.front() == u' ' || name.back() == u' ')
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](char16_t unit) { return IsControlOrDel(unit) || unit == u':'; });
}

} // namespace Velto::Corvane
