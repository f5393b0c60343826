#pragma once

#include "base/openssl_handles.h"
#include "base/result.h"

#include <cstdint>
#include <string_view>

namespace Velto::Net {

// What a new self-signed certificate says about itself.
struct SelfSignedRequest {
    std::string_view subject; // X.500 text, e.g. "CN=VeltoCorvane, O=Example"
    std::int64_t notBeforeUnix{0};
    std::int64_t notAfterUnix{0};
    // Adds the server-authentication usage and the DNS name "localhost".
    bool localhostServer{false};
};

constexpr Result kInvalidX500String = static_cast<Result>(0x80092023u);

// A fresh RSA key of `bits` bits, or null.
EvpPkeyPtr GenerateRsaKey(int bits);

// A certificate for `key`, signed with SHA-256 and RSA by that same key.
// `error` is kInvalidX500String for a subject that cannot be parsed.
X509Ptr BuildSelfSignedCertificate(EVP_PKEY* key, const SelfSignedRequest& request, Result& error);

// "CN=a, O=b" (separated by commas or semicolons, values optionally in double
// quotes) to an X.509 name; null when the text is not understood.
X509NamePtr ParseX500Name(std::string_view text);

} // namespace Velto::Net
