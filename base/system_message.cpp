#include "base/system_message.h"

#include <cerrno>
#include <cstring>

namespace Velto::Net {
namespace {

// The errno behind each code of the errno table; several errnos share a code,
// and the first one listed gives the text.
constexpr int kErrnoCandidates[] = {
    EADDRINUSE, EACCES,      ENOTCONN,     ETIMEDOUT,     ECONNRESET, ECONNABORTED, EPIPE,   EINTR,
    EMFILE,     ENETUNREACH, ECONNREFUSED, EADDRNOTAVAIL, ENOSPC,     ENOENT,       ENOTDIR, EEXIST,
};

} // namespace

std::string SystemMessageText(Result code) {
    if (code == kFail)
        return "Unspecified error";
    if (code == kInvalidArg)
        return "Invalid argument";
    for (const int err : kErrnoCandidates) {
        if (ResultFromErrno(err) != code && ResultFromErrno(err, true) != code)
            continue;
        const char* const text = ::strerrordesc_np(err);
        return text ? std::string(text) : std::string();
    }
    return {};
}

} // namespace Velto::Net
