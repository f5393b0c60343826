#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Longest chunk-size, chunk-end or trailer line, line end included.
constexpr std::size_t kMaxChunkLineBytes = 4096;

enum class ChunkStatus { NeedMore, Done, Error };

// Removes chunked framing from a request body, fed in arbitrary pieces.
// Chunk extensions and trailer fields are read and ignored.
class ChunkDecoder {
public:
    // Decodes from the front of `input`, appending body bytes to `out`, until
    // the input runs out (NeedMore), the final chunk and trailers are read
    // (Done) or the framing is broken (Error). `consumed` tells how many input
    // bytes were used; bytes after the body stay unconsumed.
    ChunkStatus Decode(std::string_view input, std::size_t& consumed, std::string& out);

private:
    enum class State { ReadSize = 0, Data = 1, DataEnd = 2, Trailers = 3, Done = 4, Error = 5 };

    bool HandleLine(std::string_view line);

    State m_state{State::ReadSize};
    std::string m_line;
    std::uint64_t m_chunkRemaining{0};
};

} // namespace Velto::Corvane
