#include "server/http/chunk_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace Velto::Corvane;

// Decodes arbitrary bytes fed in pieces whose size the first byte chooses, and
// checks that the decoder never invents bytes, never over-consumes, and that
// piece boundaries do not change the result.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t step = static_cast<std::size_t>(data[0] % 64) + 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    ChunkDecoder whole;
    std::string wholeOut;
    std::size_t wholeConsumed = 0;
    const ChunkStatus wholeStatus = whole.Decode(input, wholeConsumed, wholeOut);
    if (wholeConsumed > input.size() || wholeOut.size() > input.size())
        std::abort();

    ChunkDecoder pieces;
    std::string piecesOut;
    std::size_t total = 0;
    ChunkStatus status = ChunkStatus::NeedMore;
    for (std::size_t at = 0; at < input.size() && status == ChunkStatus::NeedMore;) {
        const std::string_view piece = input.substr(at, step);
        std::size_t consumed = 0;
        status = pieces.Decode(piece, consumed, piecesOut);
        if (consumed > piece.size())
            std::abort();
        if (status == ChunkStatus::NeedMore && consumed != piece.size())
            std::abort(); // needing more means everything offered was taken
        total += consumed;
        at += piece.size();
    }
    if (status != wholeStatus && !(wholeStatus == ChunkStatus::NeedMore && input.empty()))
        std::abort();
    if (status == ChunkStatus::Done && (total != wholeConsumed || piecesOut != wholeOut))
        std::abort();
    if (status == ChunkStatus::NeedMore && piecesOut != wholeOut)
        std::abort();
    return 0;
}
