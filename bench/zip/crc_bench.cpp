// The CRC-32 of one 256 KiB read buffer (the ZIP writer's piece): zlib's
// crc32, libdeflate's, and the writer's own Crc32Update, which must match the
// faster one. Bytes per second are reported for each.
#include "webapp/zip/zip_crc32.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t kPiece = 262'144;

const std::vector<unsigned char>& Piece() {
    static const std::vector<unsigned char> piece = [] {
        std::vector<unsigned char> bytes(kPiece);
        unsigned state = 12345;
        for (unsigned char& byte : bytes) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<unsigned char>(state >> 16);
        }
        return bytes;
    }();
    return piece;
}

void Zlib(benchmark::State& state) {
    const auto& piece = Piece();
    uLong crc = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(crc = ::crc32(crc, piece.data(), static_cast<uInt>(piece.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPiece));
}

void Libdeflate(benchmark::State& state) {
    const auto& piece = Piece();
    std::uint32_t crc = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(crc = libdeflate_crc32(crc, piece.data(), piece.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPiece));
}

void ZipWriterCrc(benchmark::State& state) {
    const auto& piece = Piece();
    const auto bytes = std::as_bytes(std::span(piece.data(), piece.size()));
    std::uint32_t crc = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(crc = Velto::Corvane::Crc32Update(crc, bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPiece));
}

BENCHMARK(Zlib);
BENCHMARK(Libdeflate);
BENCHMARK(ZipWriterCrc);

} // namespace

int main(int argc, char** argv) {
    // Both must compute the same value before their speeds mean anything.
    const auto& piece = Piece();
    if (::crc32(0, piece.data(), static_cast<uInt>(piece.size())) !=
        libdeflate_crc32(0, piece.data(), piece.size()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
