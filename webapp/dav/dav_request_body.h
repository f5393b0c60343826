#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// What the XML bodies of PROPFIND, PROPPATCH and LOCK ask for. Each parser
// returns none for a body that is not well-formed or not what the method
// takes; the caller answers 400.

constexpr std::string_view kDavNamespace = "DAV:";

struct DavPropertyName {
    std::string ns;
    std::string local;
    bool operator==(const DavPropertyName&) const = default;
};

struct PropfindRequest {
    enum class Kind { AllProp, PropName, Prop };
    Kind kind{Kind::AllProp};
    std::vector<DavPropertyName> names; // Prop: the names asked for
};
// An empty body asks for all properties.
std::optional<PropfindRequest> ParsePropfind(std::string_view body);

struct PropertyChange {
    bool remove{false};
    DavPropertyName name;
    std::string valueXml; // the value's content as XML (set only)
    std::string text;     // the value's character data (set only)
};
// The changes in document order.
std::optional<std::vector<PropertyChange>> ParseProppatch(std::string_view body);

struct LockRequest {
    bool exclusive{true};
    std::string ownerXml; // the owner element's content as XML, may be empty
};
std::optional<LockRequest> ParseLockInfo(std::string_view body);

} // namespace Velto::Corvane
