#include "server/http/chunk_decoder.h"

#include "base/ascii_text.h"
#include "base/hex_digit.h"

#include <algorithm>

namespace Velto::Corvane {
namespace {

constexpr std::size_t kMaxChunkSizeDigits = 16;

} // namespace

ChunkStatus ChunkDecoder::Decode(std::string_view input, std::size_t& consumed, std::string& out) {
    consumed = 0;
    for (;;) {
        if (m_state == State::Done)
            return ChunkStatus::Done;
        if (m_state == State::Error)
            return ChunkStatus::Error;
        if (consumed == input.size())
            return ChunkStatus::NeedMore;

        const std::string_view rest = input.substr(consumed);
        if (m_state == State::Data) {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_chunkRemaining, rest.size()));
            out.append(rest.substr(0, take));
            consumed += take;
            m_chunkRemaining -= take;
            if (m_chunkRemaining == 0)
                m_state = State::DataEnd;
            continue;
        }

        const std::size_t newline = rest.find('\n');
        const std::size_t take = newline == std::string_view::npos ? rest.size() : newline + 1;
        if (m_line.size() + take > kMaxChunkLineBytes) {
            m_state = State::Error;
            continue;
        }
        m_line.append(rest.substr(0, take));
        consumed += take;
        if (newline == std::string_view::npos)
            return ChunkStatus::NeedMore;

        std::string_view line(m_line);
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!HandleLine(line))
            m_state = State::Error;
        m_line.clear();
    }
}

bool ChunkDecoder::HandleLine(std::string_view line) {
    switch (m_state) {
    case State::ReadSize: {
        const std::string_view digits = TrimSpaceTab(line.substr(0, line.find(';')));
        if (digits.empty() || digits.size() > kMaxChunkSizeDigits)
            return false;
        std::uint64_t size = 0;
        for (const char c : digits) {
            const int value = HexDigitValue(c);
            if (value < 0)
                return false;
            size = (size << 4) | static_cast<std::uint64_t>(value);
        }
        m_chunkRemaining = size;
        m_state = size == 0 ? State::Trailers : State::Data;
        return true;
    }
    case State::DataEnd:
        if (!line.empty())
            return false;
        m_state = State::ReadSize;
        return true;
    case State::Trailers:
        if (line.empty())
            m_state = State::Done;
        return true;
    default:
        return false;
    }
}

} // namespace Velto::Corvane
