#pragma once

#include "webapp/dav/dav_request_body.h"

#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// Properties clients set on items that the server does not compute itself,
// kept with the item in user extended attributes ("user.dav:{namespace}name",
// the value as XML), so they follow it through renames and into the trash.

struct DeadProperty {
    DavPropertyName name;
    std::string valueXml;
};

// The properties of the item open as `fd` (a readable descriptor).
std::vector<DeadProperty> ReadDeadProperties(int fd);
// The properties of the item `name` in the folder `dirFd` (O_PATH allowed),
// without opening it and without following a link of that name.
std::vector<DeadProperty> ReadDeadPropertiesAt(int dirFd, const std::string& name);
// Both return 0 or the errno value; removing a property that is not there
// succeeds. ENAMETOOLONG when the name cannot be kept as an attribute name.
int WriteDeadProperty(int fd, const DavPropertyName& name, std::string_view valueXml);
int RemoveDeadProperty(int fd, const DavPropertyName& name);
// Copies every property of `fromFd` to `toFd`, as a copied item keeps them.
void CopyDeadProperties(int fromFd, int toFd);

} // namespace Velto::Corvane
