#include "webapp/uploads/upload_owner.h"

#include "base/hex.h"

#include <openssl/evp.h>

#include <cstdint>
#include <span>

namespace Velto::Corvane {

bool IsUploadKey(std::string_view key) {
    if (key.size() != kUploadKeyBytes * 2)
        return false;
    for (const char c : key) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::string UploadOwnerHash(std::string_view key) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(key.data(), key.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return {};
    return HexEncode(std::span<const std::uint8_t>(digest, length));
}

} // namespace Velto::Corvane
