#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

enum class RangeResult {
    Ignore = 0,        // unusable header: serve the whole entity
    Satisfiable = 1,   // first and last are set
    Unsatisfiable = 2, // reply 416
};

struct ByteRange {
    RangeResult result{RangeResult::Ignore};
    std::uint64_t first{0};
    std::uint64_t last{0};
};

// Parses a single "bytes=" range against an entity of `size` bytes. Lists of
// ranges are ignored (only one range is ever served).
ByteRange ParseByteRange(std::string_view value, std::uint64_t size);

} // namespace Velto::Corvane
