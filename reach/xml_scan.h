#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// A minimal scanner for the XML that routers send (device descriptions and SOAP
// replies): no validation, no DTDs, namespace prefixes ignored when matching.

struct ScannedElement {
    std::string_view content; // between the start tag and its closing tag (empty for <a/>)
    std::size_t end{};        // offset just past the closing tag (or the empty-element tag)
};

// The first element at or after `from` whose local name equals `localName`
// exactly, at any depth.
std::optional<ScannedElement> FindElement(std::string_view xml, std::string_view localName,
                                          std::size_t from = 0);

// The trimmed, entity-decoded content of the first matching element; empty when
// there is none.
std::string ElementText(std::string_view xml, std::string_view localName);

// Replaces the five named entities and numeric character references; anything
// unrecognised stays as written.
std::string DecodeXmlEntities(std::string_view text);

// Escapes the five characters that are special in XML text and attributes.
std::string EscapeXml(std::string_view text);

} // namespace Velto::Corvane
