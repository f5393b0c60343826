#include "base/result.h"

#include <cerrno>
#include <cstdio>

namespace Velto {

Result ResultFromErrno(int err, bool onBind) {
    switch (err) {
    case 0:
        return kFail;
    case EADDRINUSE:
        return kAddrInUse;
    case EACCES:
    case EPERM:
        return onBind ? kSocketAccess : kAccessDenied;
    case ENOTCONN:
        return kNotConnected;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case ETIMEDOUT:
        return kTimedOut;
    case ECONNRESET:
        return static_cast<Result>(0x80072746u);
    case ECONNABORTED:
        return static_cast<Result>(0x80072745u);
    case EPIPE:
        return static_cast<Result>(0x8007274Au);
    case EINTR:
        return static_cast<Result>(0x80072714u);
    case EMFILE:
        return static_cast<Result>(0x80072728u);
    case ENETUNREACH:
        return static_cast<Result>(0x80072743u);
    case ECONNREFUSED:
        return static_cast<Result>(0x8007274Du);
    case EADDRNOTAVAIL:
        return static_cast<Result>(0x80072741u);
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    case ENOENT:
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EEXIST:
        return kAlreadyExists;
    default:
        return kFail;
    }
}

std::string FormatResult(Result r) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(r)));
    return text;
}

} // namespace Velto
