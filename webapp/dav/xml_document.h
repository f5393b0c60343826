#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// A namespace-aware XML reader for the small bodies WebDAV requests carry.
// Names are resolved to (namespace, local name) pairs as they are read; a
// DOCTYPE, an undeclared prefix, an emptied prefix, mismatched tags and
// malformed UTF-8 all fail the document, as do more elements or deeper
// nesting than the limits below.
struct XmlAttribute {
    std::string ns;
    std::string local;
    std::string value;
};

struct XmlElement {
    std::string ns;
    std::string local;
    std::string lang;                     // the xml:lang in effect, if any
    std::vector<XmlAttribute> attributes; // namespace declarations left out
    std::vector<XmlElement> children;
    // Character data and child elements in document order: each piece is
    // text followed by the child of that index, or by nothing when it is -1.
    struct Piece {
        std::string text;
        std::ptrdiff_t child{-1};
    };
    std::vector<Piece> content;

    bool Is(std::string_view nameSpace, std::string_view name) const {
        return ns == nameSpace && local == name;
    }
    // The first child of that name, if any.
    const XmlElement* Child(std::string_view nameSpace, std::string_view name) const;
    // All character data directly inside, concatenated.
    std::string Text() const;
    // The content written back as XML that reads the same: every element
    // declares the namespace it is in.
    std::string InnerXml() const;
};

constexpr std::size_t kMaxXmlDepth = 64;
constexpr std::size_t kMaxXmlElements = 20'000;

std::optional<XmlElement> ParseXmlDocument(std::string_view text);

// Text escaped for element content and attribute values.
void AppendXmlEscaped(std::string& out, std::string_view text);

} // namespace Velto::Corvane
