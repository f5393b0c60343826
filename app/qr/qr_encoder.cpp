#include "app/qr/qr_encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace App {
namespace {

constexpr std::size_t kLevels = 4;
constexpr std::size_t kVersions = kQrMaxVersion;

// Error-correction codewords per block and number of blocks, by level and version.
constexpr std::array<std::array<std::int32_t, kVersions>, kLevels> kEccPerBlock{{
    {7, 10, 15, 20, 26, 18, 20, 24, 30, 18},
    {10, 16, 26, 18, 24, 16, 18, 22, 22, 26},
    {13, 22, 18, 26, 18, 24, 18, 22, 20, 24},
    {17, 28, 22, 16, 22, 28, 26, 26, 24, 28},
}};
constexpr std::array<std::array<std::int32_t, kVersions>, kLevels> kBlocks{{
    {1, 1, 1, 1, 1, 2, 2, 2, 2, 4},
    {1, 1, 1, 2, 2, 4, 4, 4, 5, 5},
    {1, 1, 2, 2, 4, 4, 6, 6, 8, 8},
    {1, 1, 2, 4, 4, 4, 5, 6, 8, 8},
}};
constexpr std::array<std::int32_t, kLevels> kFormatLevelBits{1, 0, 3, 2};

constexpr std::uint32_t kFieldPolynomial = 0x11D;
constexpr std::uint32_t kFormatGenerator = 0x537;
constexpr std::uint32_t kFormatXor = 0x5412;
constexpr std::uint32_t kVersionGenerator = 0x1F25;
constexpr std::int32_t kFirstVersionWithInfo = 7;
constexpr std::uint8_t kPadBytes[2] = {0xEC, 0x11};
constexpr std::int32_t kMasks = 8;

constexpr std::int32_t kRunPenalty = 3;
constexpr std::int32_t kBlockPenalty = 3;
constexpr std::int32_t kFinderPenalty = 40;
constexpr std::int32_t kBalancePenalty = 10;
constexpr std::uint32_t kFinderLikeAfter = 0x5D0;  // dark-light-dark×3-light-dark, 4 light
constexpr std::uint32_t kFinderLikeBefore = 0x05D; // 4 light, dark-light-dark×3-light-dark
constexpr std::uint32_t kElevenBits = 0x7FF;
constexpr std::int32_t kFinderLightRun = 4;

std::int32_t RawModules(std::int32_t version) {
    std::int32_t raw = (16 * version + 128) * version + 64;
    if (version >= 2) {
        const std::int32_t a = version / 7 + 2;
        raw -= (25 * a - 10) * a - 55;
        if (version >= kFirstVersionWithInfo)
            raw -= 36;
    }
    return raw;
}

std::int32_t DataCapacityBits(std::int32_t version, std::size_t level) {
    const std::size_t v = static_cast<std::size_t>(version - 1);
    return 8 * (RawModules(version) / 8 - kEccPerBlock[level][v] * kBlocks[level][v]);
}

std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
    std::uint32_t result = 0;
    for (int bit = 7; bit >= 0; --bit) {
        result = (result << 1) ^ ((result >> 7) * kFieldPolynomial);
        result ^= ((b >> bit) & 1u) * a;
    }
    return static_cast<std::uint8_t>(result);
}

// The generator polynomial with roots α^0 … α^(degree−1), leading term dropped.
std::vector<std::uint8_t> Generator(std::int32_t degree) {
    std::vector<std::uint8_t> result(static_cast<std::size_t>(degree), 0);
    result.back() = 1;
    std::uint8_t root = 1;
    for (std::int32_t i = 0; i < degree; ++i) {
        for (std::size_t j = 0; j < result.size(); ++j) {
            result[j] = Multiply(result[j], root);
            if (j + 1 < result.size())
                result[j] ^= result[j + 1];
        }
        root = Multiply(root, 2);
    }
    return result;
}

std::vector<std::uint8_t> Remainder(std::span<const std::uint8_t> data,
                                    const std::vector<std::uint8_t>& generator) {
    std::vector<std::uint8_t> result(generator.size(), 0);
    for (const std::uint8_t byte : data) {
        const std::uint8_t factor = byte ^ result.front();
        result.erase(result.begin());
        result.push_back(0);
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] ^= Multiply(generator[i], factor);
    }
    return result;
}

class BitWriter {
public:
    void Append(std::uint32_t value, std::int32_t count) {
        for (std::int32_t i = count - 1; i >= 0; --i)
            m_bits.push_back(static_cast<std::uint8_t>((value >> i) & 1u));
    }
    std::size_t Size() const { return m_bits.size(); }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> bytes(m_bits.size() / 8, 0);
        for (std::size_t i = 0; i < bytes.size() * 8; ++i)
            bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (m_bits[i] << (7 - i % 8)));
        return bytes;
    }

private:
    std::vector<std::uint8_t> m_bits;
};

// Runs of five or more and finder-like patterns along one row or column;
// modules outside the symbol count as light.
template <typename At> std::int32_t LinePenalty(std::int32_t size, At at) {
    std::int32_t penalty = 0;
    std::int32_t run = 0;
    bool previous = false;
    for (std::int32_t i = 0; i < size; ++i) {
        const bool dark = at(i);
        if (i > 0 && dark == previous) {
            ++run;
        } else {
            if (run >= 5)
                penalty += kRunPenalty + run - 5;
            run = 1;
        }
        previous = dark;
    }
    if (run >= 5)
        penalty += kRunPenalty + run - 5;

    std::uint32_t window = 0;
    for (std::int32_t i = 0; i < size + kFinderLightRun; ++i) {
        const bool dark = i < size && at(i);
        window = ((window << 1) | (dark ? 1u : 0u)) & kElevenBits;
        if (window == kFinderLikeAfter || window == kFinderLikeBefore)
            penalty += kFinderPenalty;
    }
    return penalty;
}

std::int32_t Penalty(std::int32_t size, const std::vector<std::uint8_t>& modules) {
    const auto dark = [&](std::int32_t x, std::int32_t y) {
        return modules[static_cast<std::size_t>(y * size + x)] != 0;
    };
    std::int32_t penalty = 0;
    for (std::int32_t line = 0; line < size; ++line) {
        penalty += LinePenalty(size, [&](std::int32_t i) { return dark(i, line); });
        penalty += LinePenalty(size, [&](std::int32_t i) { return dark(line, i); });
    }
    for (std::int32_t y = 0; y + 1 < size; ++y) {
        for (std::int32_t x = 0; x + 1 < size; ++x) {
            const bool c = dark(x, y);
            if (c == dark(x + 1, y) && c == dark(x, y + 1) && c == dark(x + 1, y + 1))
                penalty += kBlockPenalty;
        }
    }
    std::int32_t darkCount = 0;
    for (const std::uint8_t module : modules)
        darkCount += module != 0 ? 1 : 0;
    const std::int32_t total = size * size;
    if (total == 0)
        return penalty;
    // k = ceil(|20d - 10t| / t) - 1: how many 5 % steps the dark share is from half.
    const std::int32_t k = (std::abs(20 * darkCount - 10 * total) + total - 1) / total - 1;
    if (k > 0)
        penalty += kBalancePenalty * k;
    return penalty;
}

class SymbolBuilder {
public:
    SymbolBuilder(std::int32_t version, std::size_t level)
        : m_version(version), m_level(level), m_size(4 * version + 17),
          m_modules(static_cast<std::size_t>(m_size * m_size), 0),
          m_function(static_cast<std::size_t>(m_size * m_size), 0) {}

    void DrawFunctionPatterns() {
        for (std::int32_t i = 0; i < m_size; ++i) {
            Set(6, i, i % 2 == 0, true);
            Set(i, 6, i % 2 == 0, true);
        }
        DrawFinder(3, 3);
        DrawFinder(m_size - 4, 3);
        DrawFinder(3, m_size - 4);
        const std::vector<std::int32_t> positions = AlignmentPositions();
        const std::size_t count = positions.size();
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = 0; j < count; ++j) {
                const bool nearFinder =
                    (i == 0 && j == 0) || (i == 0 && j == count - 1) || (i == count - 1 && j == 0);
                if (!nearFinder)
                    DrawAlignment(positions[i], positions[j]);
            }
        }
        DrawFormat(0); // reserves the format area; redrawn with the real mask
        DrawVersion();
    }

    void PlaceCodewords(const std::vector<std::uint8_t>& codewords) {
        std::size_t bit = 0;
        const std::size_t total = codewords.size() * 8;
        for (std::int32_t right = m_size - 1; right >= 1; right -= 2) {
            if (right == 6)
                right = 5;
            for (std::int32_t vertical = 0; vertical < m_size; ++vertical) {
                for (std::int32_t j = 0; j < 2; ++j) {
                    const std::int32_t x = right - j;
                    const bool upward = ((right + 1) & 2) == 0;
                    const std::int32_t y = upward ? m_size - 1 - vertical : vertical;
                    if (IsFunction(x, y) || bit >= total)
                        continue;
                    Module(x, y) = (codewords[bit / 8] >> (7 - bit % 8)) & 1u;
                    ++bit;
                }
            }
        }
    }

    void ApplyMask(std::int32_t mask) {
        for (std::int32_t y = 0; y < m_size; ++y) {
            for (std::int32_t x = 0; x < m_size; ++x) {
                if (!IsFunction(x, y) && MaskHits(mask, x, y))
                    Module(x, y) ^= 1u;
            }
        }
    }

    void DrawFormat(std::int32_t mask) {
        const std::uint32_t data =
            static_cast<std::uint32_t>(kFormatLevelBits[m_level] << 3 | mask);
        std::uint32_t remainder = data;
        for (int i = 0; i < 10; ++i)
            remainder = (remainder << 1) ^ ((remainder >> 9) * kFormatGenerator);
        const std::uint32_t bits = (data << 10 | remainder) ^ kFormatXor;
        const auto bitAt = [bits](std::int32_t i) { return ((bits >> i) & 1u) != 0; };
        for (std::int32_t i = 0; i <= 5; ++i)
            Set(8, i, bitAt(i), true);
        Set(8, 7, bitAt(6), true);
        Set(8, 8, bitAt(7), true);
        Set(7, 8, bitAt(8), true);
        for (std::int32_t i = 9; i < 15; ++i)
            Set(14 - i, 8, bitAt(i), true);
        for (std::int32_t i = 0; i < 8; ++i)
            Set(m_size - 1 - i, 8, bitAt(i), true);
        for (std::int32_t i = 8; i < 15; ++i)
            Set(8, m_size - 15 + i, bitAt(i), true);
        Set(8, m_size - 8, true, true); // the fixed dark module
    }

    std::int32_t Penalty() const { return App::Penalty(m_size, m_modules); }

    QrSymbol Finish(std::int32_t mask) const {
        QrSymbol symbol;
        symbol.ok = true;
        symbol.version = m_version;
        symbol.size = m_size;
        symbol.mask = mask;
        symbol.modules = m_modules;
        return symbol;
    }

private:
    std::uint8_t& Module(std::int32_t x, std::int32_t y) {
        return m_modules[static_cast<std::size_t>(y * m_size + x)];
    }
    bool IsFunction(std::int32_t x, std::int32_t y) const {
        return m_function[static_cast<std::size_t>(y * m_size + x)] != 0;
    }
    void Set(std::int32_t x, std::int32_t y, bool dark, bool function) {
        Module(x, y) = dark ? 1 : 0;
        if (function)
            m_function[static_cast<std::size_t>(y * m_size + x)] = 1;
    }

    // A finder pattern with its separator, centred on (cx, cy).
    void DrawFinder(std::int32_t cx, std::int32_t cy) {
        for (std::int32_t dy = -4; dy <= 4; ++dy) {
            for (std::int32_t dx = -4; dx <= 4; ++dx) {
                const std::int32_t x = cx + dx;
                const std::int32_t y = cy + dy;
                if (x < 0 || y < 0 || x >= m_size || y >= m_size)
                    continue;
                const std::int32_t distance = std::max(std::abs(dx), std::abs(dy));
                Set(x, y, distance != 2 && distance != 4, true);
            }
        }
    }

    void DrawAlignment(std::int32_t cx, std::int32_t cy) {
        for (std::int32_t dy = -2; dy <= 2; ++dy) {
            for (std::int32_t dx = -2; dx <= 2; ++dx)
                Set(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1, true);
        }
    }

    std::vector<std::int32_t> AlignmentPositions() const {
        if (m_version < 2)
            return {};
        const std::int32_t remaining = m_version / 7 + 1;
        const std::int32_t step =
            2 * ((4 * m_version + 2 * (m_version / 7) + 5) / (2 * (m_version / 7) + 2));
        std::vector<std::int32_t> positions(static_cast<std::size_t>(remaining + 1));
        positions[0] = 6;
        for (std::int32_t i = 0; i < remaining; ++i)
            positions[static_cast<std::size_t>(remaining - i)] = 4 * m_version + 10 - i * step;
        return positions;
    }

    void DrawVersion() {
        if (m_version < kFirstVersionWithInfo)
            return;
        std::uint32_t remainder = static_cast<std::uint32_t>(m_version);
        for (int i = 0; i < 12; ++i)
            remainder = (remainder << 1) ^ ((remainder >> 11) * kVersionGenerator);
        const std::uint32_t bits = static_cast<std::uint32_t>(m_version) << 12 | remainder;
        for (std::int32_t i = 0; i < 18; ++i) {
            const bool dark = ((bits >> i) & 1u) != 0;
            const std::int32_t a = m_size - 11 + i % 3;
            const std::int32_t b = i / 3;
            Set(a, b, dark, true);
            Set(b, a, dark, true);
        }
    }

    static bool MaskHits(std::int32_t mask, std::int32_t x, std::int32_t y) {
        switch (mask) {
        case 0:
            return (x + y) % 2 == 0;
        case 1:
            return y % 2 == 0;
        case 2:
            return x % 3 == 0;
        case 3:
            return (x + y) % 3 == 0;
        case 4:
            return (y / 2 + x / 3) % 2 == 0;
        case 5:
            return x * y % 2 + x * y % 3 == 0;
        case 6:
            return (x * y % 2 + x * y % 3) % 2 == 0;
        default:
            return ((x + y) % 2 + x * y % 3) % 2 == 0;
        }
    }

    std::int32_t m_version;
    std::size_t m_level;
    std::int32_t m_size;
    std::vector<std::uint8_t> m_modules;
    std::vector<std::uint8_t> m_function;
};

std::int32_t ChooseVersion(std::size_t count, std::size_t level) {
    for (std::int32_t version = kQrMinVersion; version <= kQrMaxVersion; ++version) {
        const bool wideCount = version > 9;
        const std::size_t limit = wideCount ? 65536 : 256;
        const std::size_t needed = 8 * count + (wideCount ? 20 : 12);
        if (count < limit && needed < static_cast<std::size_t>(DataCapacityBits(version, level)))
            return version;
    }
    return 0;
}

std::vector<std::uint8_t> DataCodewords(std::span<const std::uint8_t> bytes, std::int32_t version,
                                        std::size_t level) {
    const std::size_t capacity = static_cast<std::size_t>(DataCapacityBits(version, level));
    BitWriter bits;
    bits.Append(0b0100, 4);
    bits.Append(static_cast<std::uint32_t>(bytes.size()), version > 9 ? 16 : 8);
    for (const std::uint8_t byte : bytes)
        bits.Append(byte, 8);
    bits.Append(0, static_cast<std::int32_t>(std::min<std::size_t>(4, capacity - bits.Size())));
    bits.Append(0, static_cast<std::int32_t>((8 - bits.Size() % 8) % 8));
    for (std::size_t i = 0; bits.Size() < capacity; ++i)
        bits.Append(kPadBytes[i % 2], 8);
    return bits.Bytes();
}

std::vector<std::uint8_t> WithErrorCorrection(const std::vector<std::uint8_t>& data,
                                              std::int32_t version, std::size_t level) {
    const std::size_t v = static_cast<std::size_t>(version - 1);
    const std::size_t blocks = static_cast<std::size_t>(kBlocks[level][v]);
    const std::int32_t ecc = kEccPerBlock[level][v];
    const std::size_t raw = static_cast<std::size_t>(RawModules(version) / 8);
    const std::size_t shortBlocks = blocks - raw % blocks;
    const std::size_t shortData = raw / blocks - static_cast<std::size_t>(ecc);
    const std::vector<std::uint8_t> generator = Generator(ecc);

    std::vector<std::vector<std::uint8_t>> dataBlocks;
    std::vector<std::vector<std::uint8_t>> eccBlocks;
    std::size_t offset = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t length = shortData + (b < shortBlocks ? 0 : 1);
        const std::span<const std::uint8_t> piece{data.data() + offset, length};
        dataBlocks.emplace_back(piece.begin(), piece.end());
        eccBlocks.push_back(Remainder(piece, generator));
        offset += length;
    }
    std::vector<std::uint8_t> result;
    for (std::size_t i = 0; i <= shortData; ++i) {
        for (const auto& block : dataBlocks) {
            if (i < block.size())
                result.push_back(block[i]);
        }
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(ecc); ++i) {
        for (const auto& block : eccBlocks)
            result.push_back(block[i]);
    }
    return result;
}

} // namespace

std::int32_t QrPenalty(const QrSymbol& symbol) {
    if (symbol.size <= 0 ||
        symbol.modules.size() != static_cast<std::size_t>(symbol.size * symbol.size))
        return 0;
    return Penalty(symbol.size, symbol.modules);
}

QrSymbol EncodeQr(std::span<const std::uint8_t> bytes, QrLevel level,
                  std::optional<std::int32_t> forcedMask) {
    const std::size_t levelIndex = static_cast<std::size_t>(level);
    if (levelIndex >= kLevels || (forcedMask && (*forcedMask < 0 || *forcedMask >= kMasks)))
        return {};
    const std::int32_t version = ChooseVersion(bytes.size(), levelIndex);
    if (version == 0)
        return {};

    SymbolBuilder builder{version, levelIndex};
    builder.DrawFunctionPatterns();
    builder.PlaceCodewords(
        WithErrorCorrection(DataCodewords(bytes, version, levelIndex), version, levelIndex));

    std::int32_t best = forcedMask.value_or(0);
    std::int32_t bestPenalty = std::numeric_limits<std::int32_t>::max();
    for (std::int32_t mask = 0; mask < kMasks && !forcedMask; ++mask) {
        builder.ApplyMask(mask);
        builder.DrawFormat(mask);
        const std::int32_t penalty = builder.Penalty();
        if (penalty < bestPenalty) {
            bestPenalty = penalty;
            best = mask;
        }
        builder.ApplyMask(mask); // masks are their own inverse
    }
    builder.ApplyMask(best);
    builder.DrawFormat(best);
    return builder.Finish(best);
}

} // namespace App
