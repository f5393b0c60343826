#include "app/desktop/home/connection_view.h"

#include "app/desktop/home/address_list.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"

namespace App {

namespace {

using Velto::Corvane::ServiceStatus;

// Every item of the scope menu excludes the others.
constexpr std::uint32_t kScopeRadioGroup = 1;

std::u16string Decimal(std::uint64_t value) {
    return Velto::Utf8ToUtf16(std::to_string(value));
}

Velto::Widget::MenuItem RadioItem(std::uint32_t id, std::u16string text, bool checked) {
    Velto::Widget::MenuItem item;
    item.kind = Velto::Widget::MenuItemKind::Radio;
    item.id = id;
    item.text = std::move(text);
    item.checked = checked;
    item.radioGroup = kScopeRadioGroup;
    return item;
}

} // namespace

std::u16string ConnectionSignature(const ServiceStatus& status, const AddressChoice& choice,
                                   UiLanguage language) {
    const bool running = status.state == ServiceStatus::Running;
    std::u16string signature = running ? u"on" : u"off";
    if (running) {
        signature += u'|';
        signature += Decimal(status.port);
        if (status.https)
            signature += u's';
        signature += u'|';
        signature += choice.internetScope ? u'i' : u'l';
        signature += Decimal(choice.lanIndex);
        signature += u'|';
        signature += Velto::Utf8ToUtf16(std::to_string(status.upnpState));
        signature += u'|';
        signature += Velto::Utf8ToUtf16(std::to_string(status.upnpError));
        signature += u'|';
        signature += Velto::Utf8ToUtf16(status.externalAddress);
        for (const std::string& address : status.localAddresses) {
            signature += u'|';
            signature += Velto::Utf8ToUtf16(address);
        }
    }
    signature += IsKorean(language) ? u"|ko" : u"|en";
    return signature;
}

std::uint64_t ClampLanIndex(std::uint64_t lanIndex, std::size_t localCount) {
    return lanIndex < localCount ? lanIndex : 0;
}

std::u16string ChosenAddress(const ServiceStatus& status, const AddressChoice& choice) {
    if (choice.internetScope) {
        const auto internet = AddressList(status, AddressScope::Internet);
        return internet.empty() ? std::u16string{} : internet.front();
    }
    const auto local = AddressList(status, AddressScope::Local);
    if (local.empty())
        return {};
    return local[ClampLanIndex(choice.lanIndex, local.size())];
}

std::vector<Velto::Widget::MenuItem> ScopeMenuItems(const std::vector<std::u16string>& localList,
                                                    const AddressChoice& choice,
                                                    UiLanguage language) {
    std::vector<Velto::Widget::MenuItem> items;
    if (localList.size() >= 2) {
        for (std::size_t i = 0; i < localList.size(); ++i) {
            items.push_back(RadioItem(static_cast<std::uint32_t>(i + 1),
                                      Format(TextId::ThisNetworkAddress, language, {localList[i]}),
                                      !choice.internetScope && i == choice.lanIndex));
        }
    } else {
        items.push_back(RadioItem(1, Text(TextId::ThisNetwork, language), !choice.internetScope));
    }
    items.push_back(
        RadioItem(kInternetScopeItem, Text(TextId::Internet, language), choice.internetScope));
    return items;
}

AddressChoice ChooseScopeItem(AddressChoice current, std::uint32_t id) {
    current.internetScope = id == kInternetScopeItem;
    if (!current.internetScope && id > 0)
        current.lanIndex = id - 1;
    return current;
}

} // namespace App
