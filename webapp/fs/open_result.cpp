#include "webapp/fs/open_result.h"

#include <cerrno>

namespace Velto::Corvane {

OpenResult OpenResultFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return OpenResult::NotFound;
    case EACCES:
    case EPERM:
        return OpenResult::Denied;
    case EBUSY:
    case ETXTBSY:
        return OpenResult::Busy;
    default:
        return OpenResult::Failed;
    }
}

} // namespace Velto::Corvane
