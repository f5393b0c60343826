#pragma once

#include "webapp/dav/dav_request_body.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Writes a 207 Multi-Status body: one response per resource, each with its
// property groups by status. Properties in the DAV: namespace use the "D"
// prefix; every other property declares its own namespace.
class MultistatusWriter {
public:
    MultistatusWriter();
    // Sizes the buffer up front for this many more responses.
    void Reserve(std::size_t responses);

    // `href` is already percent-encoded.
    void BeginResponse(std::string_view href);
    void BeginPropstat();
    // A property with `innerXml` (already XML) as its content.
    void AddProperty(const DavPropertyName& name, std::string_view innerXml);
    void EndPropstat(std::int32_t status);
    // A response that carries a status instead of properties.
    void AddStatus(std::int32_t status);
    void EndResponse();

    std::string Finish();

    // "HTTP/1.1 200 OK"
    static std::string StatusLine(std::int32_t status);
    // Writes <name>innerXml</name> as above.
    static void AppendProperty(std::string& out, const DavPropertyName& name,
                               std::string_view innerXml);

private:
    std::string m_out;
};

} // namespace Velto::Corvane
