#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace Velto::Corvane {

// The ZIP CRC-32 (reflected polynomial 0xEDB88320, initial and final
// inversion), continued from `crc` over `bytes`; 0 starts a new one.
// libdeflate's carry-less multiplication runs at several times zlib's rate
// on the same machine (bench/zip measures both), so an archive's speed is set
// by the disk and the connection, not by this loop.
std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::byte> bytes);

} // namespace Velto::Corvane
