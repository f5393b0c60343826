#include "server/http/head_parser.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace Velto::Corvane;

// Parses arbitrary bytes as a request head (with a small limit too, so the
// limit paths are reached quickly) and checks what a complete head promises.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::size_t limit : {kMaxHeadBytes, std::size_t{64}}) {
        const HeadParseResult result = ParseRequestHead(input, limit);

        // Feeding the same bytes in growing prefixes, as receives do, must
        // end in the same answer.
        RequestHeadParser incremental;
        HeadParseStatus status = HeadParseStatus::Incomplete;
        const std::size_t step = size == 0 ? 1 : (data[0] % 13) + 1;
        for (std::size_t end = 0; status == HeadParseStatus::Incomplete;) {
            end = std::min(input.size(), end + step);
            status = incremental.Parse(input.substr(0, end), limit);
            if (end == input.size())
                break;
        }
        if (status != result.status)
            std::abort();
        if (status == HeadParseStatus::Complete && incremental.Used() != result.used)
            std::abort();

        if (result.status != HeadParseStatus::Complete)
            continue;
        if (result.used > input.size() || result.used > limit || result.used == 0)
            std::abort();
        const RequestHead& head = result.head;
        if (head.method.empty() || head.target.empty() || head.target.front() != '/')
            std::abort();
        if (head.version != 0 && head.version != 1)
            std::abort();
        for (const HeaderField& field : head.headers) {
            if (field.name.empty())
                std::abort();
            for (const char c : field.name) {
                if (!IsTokenChar(c) || (c >= 'A' && c <= 'Z'))
                    std::abort();
            }
            if (field.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
                std::abort();
        }
        // Parsing the same head alone gives the same length.
        if (ParseRequestHead(input.substr(0, result.used), limit).used != result.used)
            std::abort();
        (void)AnalyseHead(head);
        (void)PercentDecode(head.target, false);
        (void)HeaderHasToken(head, "connection", "close");
    }
    return 0;
}
