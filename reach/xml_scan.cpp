#include "reach/xml_scan.h"

#include "base/hex_digit.h"
#include "base/utf.h"

#include <array>
#include <cstdint>

namespace Velto::Corvane {
namespace {

// An entity's ';' must follow within this many characters of its '&'.
constexpr std::size_t kMaxEntityLength = 10;

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsTagName(char c) {
    return IsXmlSpace(c) || c == '/' || c == '>';
}

// Whether `xml` holds "<" + name followed by a name delimiter at `pos`.
bool IsOpeningOf(std::string_view xml, std::size_t pos, std::string_view name) {
    if (xml.compare(pos, 1, "<") != 0 || xml.compare(pos + 1, name.size(), name) != 0)
        return false;
    const std::size_t after = pos + 1 + name.size();
    return after < xml.size() && EndsTagName(xml[after]);
}

int DigitValue(char c, bool hex) {
    if (hex)
        return HexDigitValue(c);
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

// The code point of a numeric reference body such as "#65" or "#x41"; nothing
// when malformed or outside the characters XML allows to be written this way.
std::optional<std::uint32_t> NumericReference(std::string_view body) {
    if (body.size() < 2 || body[0] != '#')
        return std::nullopt;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = DigitValue(c, hex);
        if (d < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        if (value > 0x10FFFF)
            return std::nullopt;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ScannedElement> FindElement(std::string_view xml, std::string_view localName,
                                          std::size_t from) {
    std::size_t pos = from;
    while (pos < xml.size()) {
        const std::size_t lt = xml.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= xml.size())
            return std::nullopt;
        const char next = xml[lt + 1];
        if (next == '!' || next == '/' || next == '?') {
            pos = lt + 1;
            continue;
        }
        std::size_t nameEnd = lt + 1;
        while (nameEnd < xml.size() && !EndsTagName(xml[nameEnd]))
            ++nameEnd;
        if (nameEnd >= xml.size())
            return std::nullopt;
        const std::string_view name = xml.substr(lt + 1, nameEnd - lt - 1);
        const std::size_t colon = name.find(':');
        const std::string_view local =
            colon == std::string_view::npos ? name : name.substr(colon + 1);
        if (local != localName) {
            pos = nameEnd;
            continue;
        }

        const std::size_t gt = xml.find('>', nameEnd);
        if (gt == std::string_view::npos)
            return std::nullopt;
        if (xml[gt - 1] == '/')
            return ScannedElement{xml.substr(gt + 1, 0), gt + 1};

        const std::string closing = "</" + std::string{name} + ">";
        const std::size_t contentBegin = gt + 1;
        std::size_t scan = contentBegin;
        int depth = 1;
        while (true) {
            const std::size_t close = xml.find(closing, scan);
            if (close == std::string_view::npos)
                return std::nullopt;
            // Count the nested openings before this candidate. The scan resumes
            // after each opening tag's '>', which keeps it linear even for a
            // flood of unterminated tags.
            std::size_t open = xml.find('<', scan);
            while (open < close) {
                std::size_t next = open + 1;
                if (IsOpeningOf(xml, open, name)) {
                    const std::size_t tagEnd = xml.find('>', open);
                    if (xml[tagEnd - 1] != '/')
                        ++depth;
                    next = tagEnd + 1;
                }
                open = xml.find('<', next);
            }
            --depth;
            scan = close + closing.size();
            if (depth == 0)
                return ScannedElement{xml.substr(contentBegin, close - contentBegin), scan};
        }
    }
    return std::nullopt;
}

std::string ElementText(std::string_view xml, std::string_view localName) {
    const auto element = FindElement(xml, localName);
    if (!element)
        return {};
    std::string_view text = element->content;
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    return DecodeXmlEntities(text);
}

std::string DecodeXmlEntities(std::string_view text) {
    struct Named {
        std::string_view name;
        char value;
    };
    static constexpr std::array<Named, 5> kNamed{{
        {"lt", '<'},
        {"gt", '>'},
        {"amp", '&'},
        {"quot", '"'},
        {"apos", '\''},
    }};

    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        if (amp == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, amp - pos));
        const std::size_t semi = text.substr(0, amp + kMaxEntityLength + 1).find(';', amp + 1);
        if (semi == std::string_view::npos) {
            out.push_back('&');
            pos = amp + 1;
            continue;
        }
        const std::string_view body = text.substr(amp + 1, semi - amp - 1);
        bool decoded = false;
        for (const auto& named : kNamed) {
            if (body == named.name) {
                out.push_back(named.value);
                decoded = true;
                break;
            }
        }
        if (!decoded) {
            if (const auto cp = NumericReference(body)) {
                AppendUtf8(out, *cp);
                decoded = true;
            }
        }
        if (decoded) {
            pos = semi + 1;
        } else {
            out.push_back('&');
            pos = amp + 1;
        }
    }
    return out;
}

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '"':
            out.append("&quot;");
            break;
        case '&':
            out.append("&amp;");
            break;
        case '\'':
            out.append("&apos;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

} // namespace Velto::Corvane
