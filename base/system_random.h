#pragma once

#include <cstddef>
#include <string>

namespace Velto {

// Fills `size` bytes from the kernel's generator; false if it fails.
bool FillRandom(void* buffer, std::size_t size);

// `count` random bytes as 2 x `count` lower-case hexadecimal characters;
// empty if the generator fails.
std::string RandomHex(std::size_t count);

} // namespace Velto
