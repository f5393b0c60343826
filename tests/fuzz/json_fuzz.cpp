#include "config/json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using Velto::Corvane::kJsonMaxDepth;
using Velto::Corvane::ParseJson;
using Velto::Corvane::SerializeJson;

// Whatever parses must serialize to text that parses again to the same text:
// the serializer never writes something the strict parser refuses.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto [value, ok] = ParseJson(text, kJsonMaxDepth);
    if (!ok)
        return 0;
    for (const bool pretty : {false, true}) {
        const std::string once = SerializeJson(value, pretty);
        auto [again, againOk] = ParseJson(once, kJsonMaxDepth);
        if (!againOk || SerializeJson(again, pretty) != once)
            std::abort();
    }
    return 0;
}
