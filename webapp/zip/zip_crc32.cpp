#include "webapp/zip/zip_crc32.h"

#include <libdeflate.h>

namespace Velto::Corvane {

std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::byte> bytes) {
    return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

} // namespace Velto::Corvane
