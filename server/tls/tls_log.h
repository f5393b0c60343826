#pragma once

#include "base/diag_log.h"

#include <string>
#include <string_view>

namespace Velto::Net {

// A record under the "Tls" tag.
inline void LogTls(LogLevel level, std::string_view message) {
    DiagLog::Instance().Log(level, u"Tls", message);
}

// The OpenSSL error queue of this thread as one line (emptied afterwards).
std::string TakeOpenSslErrors();

} // namespace Velto::Net
