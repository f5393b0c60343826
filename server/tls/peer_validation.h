#pragma once

#include "base/result.h"
#include "server/tls/tls_config.h"

#include <openssl/x509.h>

namespace Velto::Net {

// Checks the peer's certificate after a handshake: against the pin when one
// is configured, otherwise by building its chain to a trusted root (the
// system's and `trustedCaFile`) for the right purpose and, in the client role,
// for TargetName. `localIsServer` says which side we are.
Result ValidatePeerCertificate(const TlsConfig& config, bool localIsServer, X509* peer,
                               STACK_OF(X509) * untrusted);

} // namespace Velto::Net
