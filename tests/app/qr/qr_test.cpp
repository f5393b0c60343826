// The QR encoder checked by a real decoder (zbarimg reads the symbols back),
// its version choice at the capacity limits, its format information, and the
// terminal rendering.

#include "app/qr/qr_encoder.h"
#include "app/qr/terminal_qr.h"
#include "tests/support/netns_lab.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace App {
namespace {

using Velto::Corvane::Testing::RunCommand;

constexpr std::int32_t kPixelsPerModule = 4;
constexpr std::int32_t kQuietZone = 4;

QrSymbol Encode(std::string_view text, QrLevel level = QrLevel::M) {
    return EncodeQr({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, level);
}

// Text of exactly `length` bytes that looks like an address.
std::string AddressOfLength(std::size_t length) {
    std::string text = "http://192.168.1.20:8080/";
    while (text.size() < length)
        text += static_cast<char>('a' + text.size() % 26);
    text.resize(length);
    return text;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velto-qr-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

// What zbarimg reads from the symbol drawn as a greyscale image.
std::string Decode(const QrSymbol& symbol, const std::filesystem::path& file) {
    const std::int32_t side = (symbol.size + 2 * kQuietZone) * kPixelsPerModule;
    std::ofstream out{file, std::ios::binary};
    out << "P5\n" << side << " " << side << "\n255\n";
    for (std::int32_t py = 0; py < side; ++py) {
        for (std::int32_t px = 0; px < side; ++px) {
            const std::int32_t x = px / kPixelsPerModule - kQuietZone;
            const std::int32_t y = py / kPixelsPerModule - kQuietZone;
            const bool dark =
                x >= 0 && y >= 0 && x < symbol.size && y < symbol.size && symbol.Dark(x, y);
            out.put(static_cast<char>(dark ? 0 : 255));
        }
    }
    out.close();
    // zbarimg may complain about a missing desktop bus on standard error.
    auto result =
        RunCommand({"bash", "-c", "zbarimg --raw -q '" + file.string() + "' 2>/dev/null"});
    while (!result.output.empty() && result.output.back() == '\n')
        result.output.pop_back();
    return result.output;
}

TEST(QrEncoderTest, VersionsFollowTheCapacityAtLevelM) {
    const std::int32_t largest[kQrMaxVersion] = {14, 26, 42, 62, 84, 106, 122, 152, 180, 213};
    for (std::int32_t version = 1; version <= kQrMaxVersion; ++version) {
        SCOPED_TRACE(version);
        const std::size_t count = static_cast<std::size_t>(largest[version - 1]);
        const QrSymbol full = Encode(AddressOfLength(count));
        ASSERT_TRUE(full.ok);
        EXPECT_EQ(full.version, version);
        EXPECT_EQ(full.size, 4 * version + 17);
        EXPECT_EQ(full.modules.size(), static_cast<std::size_t>(full.size * full.size));
        const QrSymbol over = Encode(AddressOfLength(count + 1));
        EXPECT_EQ(over.ok, version < kQrMaxVersion);
        if (over.ok) {
            EXPECT_EQ(over.version, version + 1);
        }
    }
    EXPECT_EQ(Encode(AddressOfLength(24)).version, 2);
    EXPECT_FALSE(Encode(AddressOfLength(214)).ok);
    EXPECT_TRUE(Encode("").ok);
}

TEST(QrEncoderTest, ARealDecoderReadsEverySize) {
    TempFolder folder;
    struct Case {
        std::size_t length;
        QrLevel level;
    };
    const std::vector<Case> cases = {
        {14, QrLevel::M},  {24, QrLevel::M},  {42, QrLevel::M},  {62, QrLevel::M},
        {84, QrLevel::M},  {106, QrLevel::M}, {122, QrLevel::M}, {152, QrLevel::M},
        {180, QrLevel::M}, {213, QrLevel::M}, {30, QrLevel::L},  {30, QrLevel::Q},
        {30, QrLevel::H},  {100, QrLevel::H}, {150, QrLevel::L},
    };
    for (const Case& c : cases) {
        const std::string text = AddressOfLength(c.length);
        const QrSymbol symbol = Encode(text, c.level);
        SCOPED_TRACE(testing::Message()
                     << c.length << " bytes, level " << static_cast<int>(c.level) << ", version "
                     << symbol.version << ", mask " << symbol.mask);
        ASSERT_TRUE(symbol.ok);
        EXPECT_EQ(Decode(symbol, folder.path / "symbol.pgm"), text);
    }
}

TEST(QrEncoderTest, FormatInformationNamesLevelAndMask) {
    const std::vector<std::pair<QrLevel, std::uint32_t>> levels = {
        {QrLevel::L, 1}, {QrLevel::M, 0}, {QrLevel::Q, 3}, {QrLevel::H, 2}};
    for (const auto& [level, bits] : levels) {
        SCOPED_TRACE(::testing::Message() << "level " << static_cast<int>(level));
        const QrSymbol symbol = Encode("http://192.168.1.20:8080/", level);
        ASSERT_TRUE(symbol.ok);
        // The copy beside the top-left finder, bits 14..0.
        std::uint32_t first = 0;
        for (std::int32_t i = 0; i <= 5; ++i)
            first |= static_cast<std::uint32_t>(symbol.Dark(8, i)) << i;
        first |= static_cast<std::uint32_t>(symbol.Dark(8, 7)) << 6;
        first |= static_cast<std::uint32_t>(symbol.Dark(8, 8)) << 7;
        first |= static_cast<std::uint32_t>(symbol.Dark(7, 8)) << 8;
        for (std::int32_t i = 9; i < 15; ++i)
            first |= static_cast<std::uint32_t>(symbol.Dark(14 - i, 8)) << i;
        std::uint32_t second = 0;
        for (std::int32_t i = 0; i < 8; ++i)
            second |= static_cast<std::uint32_t>(symbol.Dark(symbol.size - 1 - i, 8)) << i;
        for (std::int32_t i = 8; i < 15; ++i)
            second |= static_cast<std::uint32_t>(symbol.Dark(8, symbol.size - 15 + i)) << i;
        EXPECT_EQ(first, second);
        const std::uint32_t data = (first ^ 0x5412u) >> 10;
        EXPECT_EQ(data >> 3, bits);
        EXPECT_EQ(static_cast<std::int32_t>(data & 7u), symbol.mask);
        EXPECT_TRUE(symbol.Dark(8, symbol.size - 8));
    }
}

QrSymbol Fixture(std::int32_t size, bool (*dark)(std::int32_t x, std::int32_t y)) {
    QrSymbol symbol;
    symbol.ok = true;
    symbol.size = size;
    for (std::int32_t y = 0; y < size; ++y) {
        for (std::int32_t x = 0; x < size; ++x)
            symbol.modules.push_back(dark(x, y) ? 1 : 0);
    }
    return symbol;
}

TEST(QrEncoderTest, PenaltyRules) {
    // All light: 42 lines of 21 (3 + 16 each), 400 blocks of 2 x 2 (3 each),
    // and no dark module at all (k = ceil(4410 / 441) - 1 = 9, so 90).
    EXPECT_EQ(QrPenalty(Fixture(21, [](std::int32_t, std::int32_t) { return false; })),
              42 * 19 + 400 * 3 + 90);
    // A checkerboard has no runs, no blocks, no finder-like patterns and is balanced.
    EXPECT_EQ(
        QrPenalty(Fixture(21, [](std::int32_t x, std::int32_t y) { return (x + y) % 2 == 0; })), 0);
    // 11 x 11, light but for a finder-like 1011101 at the start of row 0.
    // That row reads 10111010000 (40), and with the light beyond the edge also
    // 0000 1011101 (40). Rows 1-10 are runs of 11 (9 each, 90); the columns
    // under its dark modules are runs of 10 (8 each, 5 of them), the others of
    // 11 (9 each, 6 of them); 2 x 2 blocks: 90 below row 0 and 3 in it (279);
    // 5 dark of 121: k = ceil(1110 / 121) - 1 = 9 (90).
    EXPECT_EQ(
        QrPenalty(Fixture(11, [](std::int32_t x,
                                 std::int32_t y) { return y == 0 && x < 7 && x != 1 && x != 5; })),
        80 + 90 + 5 * 8 + 6 * 9 + 279 + 90);
}

TEST(QrEncoderTest, EveryMaskReadsBackAndTheLowestPenaltyWins) {
    TempFolder folder;
    for (const std::size_t length :
         {std::size_t{11}, std::size_t{24}, std::size_t{60}, std::size_t{130}}) {
        const std::string text = AddressOfLength(length);
        const std::span<const std::uint8_t> bytes{
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
        const QrSymbol chosen = EncodeQr(bytes, QrLevel::M);
        ASSERT_TRUE(chosen.ok);
        std::int32_t best = -1;
        std::int32_t bestPenalty = 0;
        for (std::int32_t mask = 0; mask < 8; ++mask) {
            SCOPED_TRACE(testing::Message() << length << " bytes, mask " << mask);
            const QrSymbol masked = EncodeQr(bytes, QrLevel::M, mask);
            ASSERT_TRUE(masked.ok);
            EXPECT_EQ(masked.mask, mask);
            EXPECT_EQ(Decode(masked, folder.path / "masked.pgm"), text);
            const std::int32_t penalty = QrPenalty(masked);
            if (best < 0 || penalty < bestPenalty) {
                best = mask;
                bestPenalty = penalty;
            }
        }
        EXPECT_EQ(chosen.mask, best) << length << " bytes";
        EXPECT_EQ(chosen.modules, EncodeQr(bytes, QrLevel::M, best).modules);
    }
    EXPECT_FALSE(EncodeQr({}, QrLevel::M, 8).ok);
    EXPECT_FALSE(EncodeQr({}, QrLevel::M, -1).ok);
}

TEST(TerminalQrTest, HalfBlocksCarryEveryModule) {
    for (const std::size_t length : {std::size_t{20}, std::size_t{150}}) {
        SCOPED_TRACE(::testing::Message() << length << " bytes");
        const QrSymbol symbol = Encode(AddressOfLength(length));
        ASSERT_TRUE(symbol.ok);
        const std::vector<std::string> lines = TerminalQrLines(symbol);
        const std::int32_t side = symbol.size + 2 * kTerminalQuietZone;
        ASSERT_EQ(lines.size(), static_cast<std::size_t>((side + 1) / 2));
        for (std::size_t row = 0; row < lines.size(); ++row) {
            std::string line = lines[row];
            ASSERT_TRUE(line.starts_with("\x1b[30;47m"));
            ASSERT_TRUE(line.ends_with("\x1b[0m"));
            line = line.substr(8, line.size() - 12);
            std::int32_t x = -kTerminalQuietZone;
            for (std::size_t i = 0; i < line.size(); ++x) {
                bool top = false;
                bool bottom = false;
                if (line[i] == ' ') {
                    i += 1;
                } else {
                    const std::string glyph = line.substr(i, 3);
                    top = glyph == "\u2580" || glyph == "\u2588";
                    bottom = glyph == "\u2584" || glyph == "\u2588";
                    ASSERT_TRUE(top || bottom) << "unexpected bytes in line " << row;
                    i += 3;
                }
                const auto dark = [&](std::int32_t y) {
                    return x >= 0 && y >= 0 && x < symbol.size && y < symbol.size &&
                           symbol.Dark(x, y);
                };
                const std::int32_t y = static_cast<std::int32_t>(row) * 2 - kTerminalQuietZone;
                EXPECT_EQ(top, dark(y)) << x << "," << y;
                EXPECT_EQ(bottom, dark(y + 1)) << x << "," << y + 1;
            }
            EXPECT_EQ(x, symbol.size + kTerminalQuietZone);
        }
    }
    EXPECT_TRUE(TerminalQrLines(Encode(AddressOfLength(300))).empty());
}

} // namespace
} // namespace App
