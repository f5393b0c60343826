#include "webapp/fs/zone_identifier.h"

#include <string>
#include <sys/xattr.h>

namespace Velto::Corvane {

bool WriteZoneIdentifier(int fd) {
    const std::string name(kZoneIdentifierAttribute);
    return ::fsetxattr(fd, name.c_str(), kZoneIdentifierInternet.data(),
                       kZoneIdentifierInternet.size(), 0) == 0;
}

} // namespace Velto::Corvane
