// Feeds arbitrary bytes to everything that reads what a router sends: search
// answers, device descriptions, SOAP replies and the URLs inside them. Checks
// that nothing crashes and that what comes out stays inside its input.
#include "reach/device_description.h"
#include "reach/http_url.h"
#include "reach/ssdp_answer.h"
#include "reach/xml_scan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Velto::Corvane;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    if (const auto location = ParseSearchAnswer(input))
        Require(location->size() < 1024 && StartsWithNoCase(*location, "http://"));

    if (const auto element = FindElement(input, "controlURL")) {
        Require(element->end <= input.size());
        Require(element->content.data() >= input.data() &&
                element->content.data() + element->content.size() <= input.data() + input.size());
    }
    (void)ElementText(input, "NewExternalIPAddress");
    (void)ElementText(input, "errorCode");

    const std::string decoded = DecodeXmlEntities(input);
    Require(decoded.size() <= input.size());

    if (const auto service = ParseDeviceDescription(input, "http://192.168.1.1:5000/rootDesc.xml"))
        Require(!service->controlUrl.empty());

    if (const auto url = ParseHttpUrl(input))
        Require(!url->host.empty() && url->port != 0 && !url->path.empty());
    (void)ResolveUrl("http://192.168.1.1:5000/desc/root.xml", input);
    return 0;
}
