#include "reach/device_description.h"

#include "reach/http_url.h"
#include "reach/xml_scan.h"

namespace Velto::Corvane {
namespace {

constexpr std::string_view kIpServicePrefix = "urn:schemas-upnp-org:service:WANIPConnection:";
constexpr std::string_view kPppServicePrefix = "urn:schemas-upnp-org:service:WANPPPConnection:";

} // namespace

std::optional<WanService> ParseDeviceDescription(std::string_view xml, std::string_view location) {
    std::string base{location};
    if (std::string urlBase = ElementText(xml, "URLBase"); StartsWithNoCase(urlBase, "http://"))
        base = std::move(urlBase);

    std::optional<WanService> ppp;
    std::size_t from = 0;
    while (const auto service = FindElement(xml, "service", from)) {
        from = service->end;
        std::string type = ElementText(service->content, "serviceType");
        const std::string control = ElementText(service->content, "controlURL");
        if (type.empty() || control.empty())
            continue;
        const bool ip = StartsWithNoCase(type, kIpServicePrefix);
        if (!ip && (ppp || !StartsWithNoCase(type, kPppServicePrefix)))
            continue;
        std::string controlUrl = ResolveUrl(base, control);
        if (controlUrl.empty())
            continue;
        WanService found{std::move(type), std::move(controlUrl)};
        if (ip)
            return found;
        ppp = std::move(found);
    }
    return ppp;
}

} // namespace Velto::Corvane
