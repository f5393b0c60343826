#include "app/desktop/home/reachability.h"

#include "app/desktop/home/address_list.h"
#include "app/desktop/window_glyphs.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "reach/ipv4_class.h"
#include "reach/upnp_state.h"

namespace App {

namespace {

using Velto::Corvane::IPv4Class;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::UpnpState;
using Velto::Widget::Tone;

// Shown for the internal address when this machine has no local address.
constexpr std::u16string_view kUnknownAddress = u"?";

InfoLine Warning(std::u16string text) {
    return InfoLine{Glyph::kWarning, Tone::Caution, std::move(text), Tone::Primary};
}

std::vector<std::u16string> ManualHelp(const ServiceStatus& status, UiLanguage language) {
    const std::u16string port = Velto::Utf8ToUtf16(std::to_string(status.port));
    const std::u16string internal = status.localAddresses.empty()
                                        ? std::u16string{kUnknownAddress}
                                        : Velto::Utf8ToUtf16(status.localAddresses.front());
    return {Format(TextId::ManualForwardingRule, language, {port, internal}),
            Format(TextId::ThenConnectToRouter, language, {port})};
}

} // namespace

Reachability ExplainReachability(const ServiceStatus& status, UiLanguage language) {
    Reachability result;
    const auto upnp = static_cast<UpnpState>(status.upnpState);
    const std::u16string port = Velto::Utf8ToUtf16(std::to_string(status.port));
    const std::u16string external = Velto::Utf8ToUtf16(status.externalAddress);

    // A machine with a public address of its own needs no router mapping;
    // the router's state only matters once it mapped the port or when there
    // is no Internet address without it.
    if (upnp != UpnpState::Mapped && !AddressList(status, AddressScope::Internet).empty()) {
        result.lines.push_back(InfoLine{Glyph::kInfo, Tone::Accent,
                                        Text(TextId::PublicAddressOfPc, language),
                                        Tone::Secondary});
        return result;
    }

    switch (upnp) {
    case UpnpState::Off:
        result.lines.push_back(InfoLine{Glyph::kInfo, Tone::Accent,
                                        Text(TextId::UpnpSwitchedOff, language), Tone::Primary});
        result.manualHelp = ManualHelp(status, language);
        break;
    case UpnpState::Working:
        result.lines.push_back(InfoLine{Glyph::kProgress, Tone::Secondary,
                                        Text(TextId::OpeningRouterPort, language), Tone::Primary});
        break;
    case UpnpState::Mapped:
        if (status.externalAddress.empty()) {
            result.lines.push_back(Warning(Text(TextId::RouterNoExternalAddress, language)));
        } else if (status.externalClass == static_cast<std::int32_t>(IPv4Class::Private)) {
            result.lines.push_back(
                Warning(Format(TextId::RouterPrivateAddress, language, {external})));
        } else if (status.externalClass == static_cast<std::int32_t>(IPv4Class::Shared)) {
            result.lines.push_back(
                Warning(Format(TextId::RouterSharedAddress, language, {external})));
        } else {
            result.lines.push_back(InfoLine{Glyph::kCheckMark, Tone::Success,
                                            Format(TextId::RouterForwardsPort, language, {port}),
                                            Tone::Secondary});
        }
        break;
    case UpnpState::NoGateway:
        result.lines.push_back(Warning(Text(TextId::NoUpnpRouter, language)));
        result.manualHelp = ManualHelp(status, language);
        break;
    case UpnpState::Conflict:
        result.lines.push_back(Warning(Format(TextId::RouterPortTaken, language, {port})));
        break;
    case UpnpState::Refused:
        result.lines.push_back(
            Warning(Format(TextId::RouterRefused, language,
                           {Velto::Utf8ToUtf16(std::to_string(status.upnpError))})));
        result.manualHelp = ManualHelp(status, language);
        break;
    case UpnpState::Failed:
        result.lines.push_back(Warning(Text(TextId::RouterCommunicationFailed, language)));
        result.manualHelp = ManualHelp(status, language);
        break;
    }
    return result;
}

} // namespace App
