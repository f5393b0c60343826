// The WebDAV request parts a client controls: the XML bodies of PROPFIND,
// PROPPATCH and LOCK, and the Destination, If, Depth, Overwrite, Timeout,
// Lock-Token and Authorization headers. The first byte picks the parser.
#include "webapp/dav/basic_credentials.h"
#include "webapp/dav/dav_headers.h"
#include "webapp/dav/dav_request_body.h"
#include "webapp/dav/xml_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace Velto::Corvane;

namespace {

constexpr std::uint64_t kMaxLockSeconds = 86'400;

// A property value written back as XML must read again as XML: it is stored
// and later sent to other clients inside a reply.
void CheckValueRoundTrip(const std::string& valueXml) {
    const std::string wrapped = "<w xmlns=\"urn:w\">" + valueXml + "</w>";
    if (!ParseXmlDocument(wrapped))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0:
        (void)ParsePropfind(text);
        break;
    case 1:
        if (const auto changes = ParseProppatch(text)) {
            for (const PropertyChange& change : *changes) {
                if (change.name.local.empty())
                    std::abort();
                CheckValueRoundTrip(change.valueXml);
            }
        }
        break;
    case 2:
        if (const auto lock = ParseLockInfo(text))
            CheckValueRoundTrip(lock->ownerXml);
        break;
    case 3:
        if (const auto lists = ParseIfHeader(text)) {
            for (const IfList& list : *lists) {
                if (list.conditions.empty())
                    std::abort();
                for (const IfCondition& condition : list.conditions) {
                    if (condition.value.empty())
                        std::abort();
                }
            }
        }
        break;
    case 4: {
        const std::size_t newline = text.find('\n');
        const std::string_view host = text.substr(0, newline);
        const std::string_view header =
            newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        if (const auto path = DestinationPath(header, host)) {
            if (path->empty() || path->front() != '/' ||
                path->find_first_of("?#") != std::string::npos)
                std::abort();
        }
        (void)ParseLockToken(header);
        break;
    }
    default: {
        const std::string header(text);
        (void)ParseDepth(&header, DavDepth::Infinity);
        (void)ParseOverwrite(&header);
        if (ParseTimeout(&header, 1, kMaxLockSeconds) > kMaxLockSeconds)
            std::abort();
        (void)ParseBasicAuthorization(text);
        break;
    }
    }
    return 0;
}
