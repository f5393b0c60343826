#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace Velto::Widget::Models {

// Finds a row by typing the start of its text: each character is added to
// a buffer that a pause starts afresh, and the search runs from the current
// row, wrapping around. Pressing one letter repeatedly steps through the
// rows that begin with it.
class TypeAhead {
public:
    static constexpr double kPauseMs = 1000;

    // Characters that take part: 32-126 and from 160 on.
    static bool Accepts(char32_t character);

    // Adds a character typed at `nowMs` (a longer pause than kPauseMs since
    // the previous one starts a new buffer).
    void Type(char32_t character, double nowMs);
    // True while the last character came less than kPauseMs before `nowMs`.
    bool IsRunning(double nowMs) const;
    void Reset();
    const std::u16string& Buffer() const { return m_buffer; }

    // The first row from `current` (from the next row when the buffer holds
    // one character), wrapping, whose text begins with the buffer; -1 when
    // none does.
    using RowText = std::function<std::u16string_view(std::int64_t row)>;
    std::int64_t Find(std::int64_t rowCount, std::int64_t current, const RowText& text) const;

private:
    std::u16string m_buffer;
    std::size_t m_characters{0};
    char32_t m_firstCharacter{0};
    bool m_allSame{true};
    double m_lastMs{0};
    bool m_started{false};
};

} // namespace Velto::Widget::Models
