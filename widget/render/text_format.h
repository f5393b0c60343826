#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Widget {

// Latin text in Noto Sans, Korean (and other CJK) in Noto Sans CJK KR; the
// font system falls back further for anything else.
constexpr std::string_view kTextFontFamily = "Noto Sans,Noto Sans CJK KR";
constexpr std::string_view kIconFontFamily = "Material Icons";

constexpr int kWeightRegular = 400;
constexpr int kWeightSemibold = 600;

struct TextFormat {
    std::string_view family{kTextFontFamily};
    float size{14}; // DIPs
    int weight{kWeightRegular};

    friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

enum class TextAlignment : std::int32_t { Leading = 0, Center = 1, Trailing = 2, Justified = 3 };
enum class ParagraphAlignment : std::int32_t { Near = 0, Center = 1, Far = 2 };
enum class TextWrapping : std::int32_t { None = 0, Wrap = 1, EmergencyBreak = 2 };
enum class TextTrimming : std::int32_t { None = 0, CharacterEllipsis = 2 };

struct TextOptions {
    TextAlignment alignment{TextAlignment::Leading};
    ParagraphAlignment paragraphAlignment{ParagraphAlignment::Near};
    TextWrapping wrapping{TextWrapping::None};
    TextTrimming trimming{TextTrimming::None};

    friend bool operator==(const TextOptions&, const TextOptions&) = default;
};

} // namespace Velto::Widget
