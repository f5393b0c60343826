#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace App {

enum class QrLevel : std::int32_t { L = 0, M = 1, Q = 2, H = 3 };

constexpr std::int32_t kQrMinVersion = 1;
constexpr std::int32_t kQrMaxVersion = 10;

// A QR Code Model 2 symbol: `size` = 4 × version + 17 modules per side,
// `modules` row by row, 1 = dark.
struct QrSymbol {
    bool ok{false};
    std::int32_t version{0};
    std::int32_t size{0};
    std::int32_t mask{0};
    std::vector<std::uint8_t> modules;

    bool Dark(std::int32_t x, std::int32_t y) const {
        return modules[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                       static_cast<std::size_t>(x)] != 0;
    }
};

// Encodes the bytes in byte mode in the smallest version up to 10 that holds
// them at the given level, with the mask of the lowest penalty (the lower
// number on equal penalties) unless `forcedMask` (0-7) names one. `ok` is
// false when the data does not fit version 10.
QrSymbol EncodeQr(std::span<const std::uint8_t> bytes, QrLevel level,
                  std::optional<std::int32_t> forcedMask = std::nullopt);

// The penalty by which masks are compared: runs of five or more equal
// modules, 2 x 2 blocks of one colour, finder-like patterns and the balance
// of dark and light, over rows and columns alike.
std::int32_t QrPenalty(const QrSymbol& symbol);

} // namespace App
