#include "config/config_file.h"
#include "json/json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using Velto::Corvane::ConfigFromJson;
using Velto::Corvane::ConfigToJson;
using Velto::Corvane::JsonKind;
using Velto::Corvane::kJsonMaxDepth;
using Velto::Corvane::ParseJson;
using Velto::Corvane::SerializeJson;

namespace {

std::string SavedText(std::string_view text) {
    auto [root, ok] = ParseJson(text, kJsonMaxDepth);
    if (!ok)
        std::abort();
    return SerializeJson(ConfigToJson(ConfigFromJson(root)), true);
}

} // namespace

// Whatever parses must serialize to text that parses again to the same text:
// the serializer never writes something the strict parser refuses. A document
// read as a configuration and saved must read back to the very same file.
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
    if (value.Kind() == JsonKind::Object) {
        const std::string saved = SerializeJson(ConfigToJson(ConfigFromJson(value)), true);
        if (SavedText(saved) != saved)
            std::abort();
    }
    return 0;
}
