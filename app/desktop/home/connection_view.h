#pragma once

#include "app/texts/ui_language.h"
#include "service/service_status.h"
#include "widget/menu/menu_item.h"

#include <cstdint>
#include <string>
#include <vector>

namespace App {

// The address card's choice: which scope it shows and, on the local
// network, which address.
struct AddressChoice {
    bool internetScope{false};
    std::uint64_t lanIndex{0};
};

// Everything the address card shows, as one text: the card is rebuilt only
// when this changes, since the status is read every two seconds.
std::u16string ConnectionSignature(const Velto::Corvane::ServiceStatus& status,
                                   const AddressChoice& choice, UiLanguage language);

// The local address index that is shown: the chosen one while the list
// still has it, else the first.
std::uint64_t ClampLanIndex(std::uint64_t lanIndex, std::size_t localCount);

// The address the card shows for the choice, or an empty text when the
// scope has none.
std::u16string ChosenAddress(const Velto::Corvane::ServiceStatus& status,
                             const AddressChoice& choice);

// The scope menu: one item per local address when there are several (else
// one "This network" item), then "Internet"; the current choice is checked.
constexpr std::uint32_t kInternetScopeItem = 1000;
std::vector<Velto::Widget::MenuItem> ScopeMenuItems(const std::vector<std::u16string>& localList,
                                                    const AddressChoice& choice,
                                                    UiLanguage language);
// The choice after picking item `id` of that menu; the Internet item keeps
// the local index for a later return to the local network.
AddressChoice ChooseScopeItem(AddressChoice current, std::uint32_t id);

} // namespace App
