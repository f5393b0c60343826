#include "webapp/links/token_digest.h"

#include <openssl/evp.h>

namespace Velto::Corvane {

std::string TokenDigest(std::string_view token) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(token.data(), token.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    return std::string(reinterpret_cast<const char*>(digest), size);
}

} // namespace Velto::Corvane
