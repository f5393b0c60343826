#include "webapp/dav/dead_properties.h"

#include <cerrno>
#include <sys/xattr.h>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kPrefix = "user.dav:";
// Linux's limit on attribute names, and the largest value read back.
constexpr std::size_t kMaxAttributeName = 255;
constexpr std::size_t kMaxListBytes = 65'536;
constexpr std::size_t kMaxValueBytes = 65'536;

std::string AttributeName(const DavPropertyName& name) {
    return std::string(kPrefix) + "{" + name.ns + "}" + name.local;
}

bool NameFromAttribute(std::string_view attribute, DavPropertyName& out) {
    if (!attribute.starts_with(kPrefix))
        return false;
    attribute.remove_prefix(kPrefix.size());
    if (!attribute.starts_with('{'))
        return false;
    const std::size_t close = attribute.find('}');
    if (close == std::string_view::npos || close + 1 >= attribute.size())
        return false;
    out.ns = std::string(attribute.substr(1, close - 1));
    out.local = std::string(attribute.substr(close + 1));
    return true;
}

// Reads names and values through the two calls given: the fd forms or the
// path forms.
// Reads names and values through the two calls given: the fd forms or the
// path forms. Each is asked for its size first, so the common item without
// properties costs one call.
template <typename List, typename Get> std::vector<DeadProperty> ReadWith(List list, Get get) {
    std::vector<DeadProperty> properties;
    const ssize_t needed = list(nullptr, 0);
    if (needed <= 0 || static_cast<std::size_t>(needed) > kMaxListBytes)
        return properties;
    std::string names(static_cast<std::size_t>(needed), '\0');
    const ssize_t length = list(names.data(), names.size());
    if (length <= 0)
        return properties;
    names.resize(static_cast<std::size_t>(length));
    std::size_t start = 0;
    while (start < names.size()) {
        const std::size_t end = names.find('\0', start);
        const std::string attribute =
            names.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? names.size() : end + 1;
        DeadProperty property;
        if (!NameFromAttribute(attribute, property.name))
            continue;
        const ssize_t size = get(attribute.c_str(), nullptr, 0);
        if (size < 0 || static_cast<std::size_t>(size) > kMaxValueBytes)
            continue;
        property.valueXml.resize(static_cast<std::size_t>(size));
        const ssize_t read =
            get(attribute.c_str(), property.valueXml.data(), property.valueXml.size());
        if (read < 0)
            continue;
        property.valueXml.resize(static_cast<std::size_t>(read));
        properties.push_back(std::move(property));
    }
    return properties;
}

} // namespace

std::vector<DeadProperty> ReadDeadProperties(int fd) {
    return ReadWith([fd](char* list, std::size_t size) { return ::flistxattr(fd, list, size); },
                    [fd](const char* name, char* value, std::size_t size) {
                        return ::fgetxattr(fd, name, value, size);
                    });
}

std::vector<DeadProperty> ReadDeadPropertiesAt(int dirFd, const std::string& name) {
    // The folder descriptor's own entry in /proc leads to that very folder,
    // so the item is looked up in it and nowhere else.
    const std::string path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + name;
    return ReadWith(
        [&path](char* list, std::size_t size) { return ::llistxattr(path.c_str(), list, size); },
        [&path](const char* attribute, char* value, std::size_t size) {
            return ::lgetxattr(path.c_str(), attribute, value, size);
        });
}

int WriteDeadProperty(int fd, const DavPropertyName& name, std::string_view valueXml) {
    const std::string attribute = AttributeName(name);
    if (attribute.size() > kMaxAttributeName || name.ns.find('}') != std::string::npos)
        return ENAMETOOLONG;
    if (valueXml.size() > kMaxValueBytes)
        return E2BIG;
    return ::fsetxattr(fd, attribute.c_str(), valueXml.data(), valueXml.size(), 0) == 0 ? 0 : errno;
}

int RemoveDeadProperty(int fd, const DavPropertyName& name) {
    const std::string attribute = AttributeName(name);
    if (attribute.size() > kMaxAttributeName)
        return 0;
    if (::fremovexattr(fd, attribute.c_str()) == 0 || errno == ENODATA)
        return 0;
    return errno;
}

void CopyDeadProperties(int fromFd, int toFd) {
    for (const DeadProperty& property : ReadDeadProperties(fromFd))
        WriteDeadProperty(toFd, property.name, property.valueXml);
}

} // namespace Velto::Corvane
