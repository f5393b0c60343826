#include "widget/list/type_ahead.h"

#include "widget/list/case_fold.h"

namespace Velto::Widget::Models {
namespace {

constexpr char32_t kFirstPrintable = 32;
constexpr char32_t kLastAsciiPrintable = 126;
constexpr char32_t kFirstLatin1Printable = 160;

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

// Rows from `start`, wrapping, for the first that begins with `prefix`.
std::int64_t Scan(std::int64_t rowCount, std::int64_t start, std::u16string_view prefix,
                  const TypeAhead::RowText& text) {
    for (std::int64_t i = 0; i < rowCount; ++i) {
        const std::int64_t row = (start + i) % rowCount;
        if (StartsWithFolded(text(row), prefix))
            return row;
    }
    return -1;
}

} // namespace

bool TypeAhead::Accepts(char32_t c) {
    return (c >= kFirstPrintable && c <= kLastAsciiPrintable) || c >= kFirstLatin1Printable;
}

bool TypeAhead::IsRunning(double nowMs) const {
    return m_started && !m_buffer.empty() && nowMs - m_lastMs <= kPauseMs;
}

void TypeAhead::Reset() {
    m_buffer.clear();
    m_characters = 0;
    m_allSame = true;
    m_started = false;
}

void TypeAhead::Type(char32_t character, double nowMs) {
    if (!IsRunning(nowMs))
        Reset();
    if (m_characters == 0)
        m_firstCharacter = character;
    else if (SimpleCaseFold(character) != SimpleCaseFold(m_firstCharacter))
        m_allSame = false;
    AppendUtf16(m_buffer, character);
    ++m_characters;
    m_lastMs = nowMs;
    m_started = true;
}

std::int64_t TypeAhead::Find(std::int64_t rowCount, std::int64_t current,
                             const RowText& text) const {
    if (rowCount <= 0 || m_buffer.empty())
        return -1;
    const std::int64_t from = current < 0 || current >= rowCount ? 0 : current;
    const std::int64_t next = current < 0 || current >= rowCount ? 0 : (current + 1) % rowCount;
    const std::int64_t found = Scan(rowCount, m_characters == 1 ? next : from, m_buffer, text);
    if (found >= 0 || m_characters < 2 || !m_allSame)
        return found;
    std::u16string single;
    AppendUtf16(single, m_firstCharacter);
    return Scan(rowCount, next, single, text);
}

} // namespace Velto::Widget::Models
