#include "server/tls/tls_log.h"

#include <openssl/err.h>

namespace Velto::Net {

std::string TakeOpenSslErrors() {
    std::string text;
    char line[256];
    for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
        ERR_error_string_n(code, line, sizeof line);
        if (!text.empty())
            text.append("; ");
        text.append(line);
    }
    return text;
}

} // namespace Velto::Net
