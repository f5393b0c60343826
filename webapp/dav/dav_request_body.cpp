#include "webapp/dav/dav_request_body.h"

#include "webapp/dav/xml_document.h"

namespace Velto::Corvane {

namespace {

// Names a single request may ask for or change.
constexpr std::size_t kMaxProperties = 1'000;

bool IsEmptyBody(std::string_view body) {
    return body.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

DavPropertyName NameOf(const XmlElement& element) {
    return {element.ns, element.local};
}

} // namespace

std::optional<PropfindRequest> ParsePropfind(std::string_view body) {
    PropfindRequest request;
    if (IsEmptyBody(body))
        return request;
    const std::optional<XmlElement> root = ParseXmlDocument(body);
    if (!root || !root->Is(kDavNamespace, "propfind"))
        return std::nullopt;
    for (const XmlElement& child : root->children) {
        if (child.Is(kDavNamespace, "allprop")) {
            request.kind = PropfindRequest::Kind::AllProp;
            return request;
        }
        if (child.Is(kDavNamespace, "propname")) {
            request.kind = PropfindRequest::Kind::PropName;
            return request;
        }
        if (child.Is(kDavNamespace, "prop")) {
            request.kind = PropfindRequest::Kind::Prop;
            if (child.children.size() > kMaxProperties)
                return std::nullopt;
            for (const XmlElement& name : child.children)
                request.names.push_back(NameOf(name));
            return request;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<PropertyChange>> ParseProppatch(std::string_view body) {
    const std::optional<XmlElement> root = ParseXmlDocument(body);
    if (!root || !root->Is(kDavNamespace, "propertyupdate"))
        return std::nullopt;
    std::vector<PropertyChange> changes;
    for (const XmlElement& action : root->children) {
        const bool isSet = action.Is(kDavNamespace, "set");
        const bool isRemove = action.Is(kDavNamespace, "remove");
        if (!isSet && !isRemove)
            continue;
        const XmlElement* prop = action.Child(kDavNamespace, "prop");
        if (prop == nullptr)
            return std::nullopt;
        for (const XmlElement& property : prop->children) {
            PropertyChange change;
            change.remove = isRemove;
            change.name = NameOf(property);
            if (isSet) {
                change.valueXml = property.InnerXml();
                change.text = property.Text();
            }
            changes.push_back(std::move(change));
            if (changes.size() > kMaxProperties)
                return std::nullopt;
        }
    }
    if (changes.empty())
        return std::nullopt;
    return changes;
}

std::optional<LockRequest> ParseLockInfo(std::string_view body) {
    const std::optional<XmlElement> root = ParseXmlDocument(body);
    if (!root || !root->Is(kDavNamespace, "lockinfo"))
        return std::nullopt;
    const XmlElement* scope = root->Child(kDavNamespace, "lockscope");
    const XmlElement* type = root->Child(kDavNamespace, "locktype");
    if (scope == nullptr || type == nullptr || type->Child(kDavNamespace, "write") == nullptr)
        return std::nullopt;
    LockRequest request;
    if (scope->Child(kDavNamespace, "exclusive") != nullptr)
        request.exclusive = true;
    else if (scope->Child(kDavNamespace, "shared") != nullptr)
        request.exclusive = false;
    else
        return std::nullopt;
    if (const XmlElement* owner = root->Child(kDavNamespace, "owner"))
        request.ownerXml = owner->InnerXml();
    return request;
}

} // namespace Velto::Corvane
