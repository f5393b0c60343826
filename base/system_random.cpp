#include "base/system_random.h"

#include "base/hex.h"
#include "base/interrupt_retry.h"

#include <sys/random.h>

#include <cerrno>

namespace Velto {

bool FillRandom(void* buffer, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = RetryOnInterrupt([&] { return ::getrandom(bytes, size, 0); });
        if (got < 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::string RandomHex(std::size_t count) {
    std::string bytes(count, '\0');
    if (!FillRandom(bytes.data(), bytes.size()))
        return {};
    return HexEncode(bytes);
}

} // namespace Velto
