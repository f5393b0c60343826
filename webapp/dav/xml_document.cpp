#include "webapp/dav/xml_document.h"

#include "base/utf.h"

#include <charconv>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameEnd(char c) {
    return IsSpace(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'' ||
           c == '&';
}

bool IsAllowedCodePoint(char32_t cp) {
    if (cp == 0 || cp > kMaxCodePoint || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    return cp >= 0x20 || cp == '\t' || cp == '\n' || cp == '\r';
}

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    std::optional<XmlElement> Document() {
        if (m_text.starts_with("\xEF\xBB\xBF"))
            m_at = 3;
        if (!SkipMisc() || !Peek('<'))
            return std::nullopt;
        XmlElement root;
        if (!Element(root, 1, {}))
            return std::nullopt;
        if (!SkipMisc() || m_at != m_text.size())
            return std::nullopt;
        return root;
    }

private:
    struct Binding {
        std::string prefix;
        std::string uri;
    };

    bool Peek(char c) const { return m_at < m_text.size() && m_text[m_at] == c; }
    bool StartsWith(std::string_view what) const { return m_text.substr(m_at).starts_with(what); }
    void SkipSpace() {
        while (m_at < m_text.size() && IsSpace(m_text[m_at]))
            ++m_at;
    }
    // Moves past `end`; false when it never comes.
    bool SkipPast(std::string_view end) {
        const std::size_t found = m_text.find(end, m_at);
        if (found == std::string_view::npos)
            return false;
        m_at = found + end.size();
        return true;
    }

    // Spaces, comments and processing instructions (the XML declaration
    // included) around the root element. A document type is refused: its
    // entities are how small documents grow large.
    bool SkipMisc() {
        for (;;) {
            SkipSpace();
            if (StartsWith("<?")) {
                if (!SkipPast("?>"))
                    return false;
            } else if (StartsWith("<!--")) {
                if (!SkipPast("-->"))
                    return false;
            } else if (StartsWith("<!")) {
                return false;
            } else {
                return true;
            }
        }
    }

    std::string_view Name() {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && !IsNameEnd(m_text[m_at]))
            ++m_at;
        return m_text.substr(start, m_at - start);
    }

    // Decodes character data up to `stop` (a quote or "<") into `out`.
    bool CharData(std::string& out, char stop) {
        while (m_at < m_text.size() && m_text[m_at] != stop) {
            const char c = m_text[m_at];
            if (c == '<')
                return false;
            if (c != '&') {
                out += c;
                ++m_at;
                continue;
            }
            const std::size_t semi = m_text.find(';', m_at);
            if (semi == std::string_view::npos || semi - m_at > 12)
                return false;
            const std::string_view entity = m_text.substr(m_at + 1, semi - m_at - 1);
            m_at = semi + 1;
            if (entity == "lt")
                out += '<';
            else if (entity == "gt")
                out += '>';
            else if (entity == "amp")
                out += '&';
            else if (entity == "quot")
                out += '"';
            else if (entity == "apos")
                out += '\'';
            else if (!CharacterReference(entity, out))
                return false;
        }
        return true;
    }

    static bool CharacterReference(std::string_view entity, std::string& out) {
        if (entity.size() < 2 || entity[0] != '#')
            return false;
        const bool hex = entity[1] == 'x';
        const std::string_view digits = entity.substr(hex ? 2 : 1);
        std::uint32_t value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            !IsAllowedCodePoint(value))
            return false;
        AppendUtf8(out, value);
        return true;
    }

    std::optional<std::string> Resolve(std::string_view prefix) const {
        if (prefix == "xml")
            return std::string(kXmlNamespace);
        for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
            if (it->prefix == prefix)
                return it->uri;
        }
        if (prefix.empty())
            return std::string();
        return std::nullopt;
    }

    static bool SplitName(std::string_view qname, std::string_view& prefix,
                          std::string_view& local) {
        const std::size_t colon = qname.find(':');
        if (colon == std::string_view::npos) {
            prefix = {};
            local = qname;
            return !local.empty();
        }
        prefix = qname.substr(0, colon);
        local = qname.substr(colon + 1);
        return !prefix.empty() && !local.empty() && local.find(':') == std::string_view::npos;
    }

    bool Element(XmlElement& out, std::size_t depth, std::string lang) {
        if (depth > kMaxXmlDepth || ++m_elements > kMaxXmlElements)
            return false;
        ++m_at; // '<'
        const std::string_view qname = Name();
        if (qname.empty())
            return false;
        struct RawAttribute {
            std::string_view qname;
            std::string value;
        };
        std::vector<RawAttribute> raw;
        const std::size_t bindingsBefore = m_bindings.size();
        bool empty = false;
        for (;;) {
            SkipSpace();
            if (m_at >= m_text.size())
                return false;
            if (StartsWith("/>")) {
                m_at += 2;
                empty = true;
                break;
            }
            if (Peek('>')) {
                ++m_at;
                break;
            }
            const std::string_view attribute = Name();
            if (attribute.empty())
                return false;
            SkipSpace();
            if (!Peek('='))
                return false;
            ++m_at;
            SkipSpace();
            if (!Peek('"') && !Peek('\''))
                return false;
            const char quote = m_text[m_at++];
            std::string value;
            if (!CharData(value, quote) || !Peek(quote))
                return false;
            ++m_at;
            if (attribute == "xmlns") {
                m_bindings.push_back({std::string(), std::move(value)});
            } else if (attribute.starts_with("xmlns:")) {
                const std::string_view prefix = attribute.substr(6);
                // A prefix cannot be declared empty, nor can the reserved
                // prefixes be bound.
                if (prefix.empty() || value.empty() || prefix == "xmlns" || prefix == "xml")
                    return false;
                m_bindings.push_back({std::string(prefix), std::move(value)});
            } else {
                raw.push_back({attribute, std::move(value)});
            }
        }

        std::string_view prefix;
        std::string_view local;
        if (!SplitName(qname, prefix, local))
            return false;
        std::optional<std::string> ns = Resolve(prefix);
        if (!ns)
            return false;
        out.ns = std::move(*ns);
        out.local = std::string(local);
        for (RawAttribute& attribute : raw) {
            std::string_view attributePrefix;
            std::string_view attributeLocal;
            if (!SplitName(attribute.qname, attributePrefix, attributeLocal))
                return false;
            std::optional<std::string> attributeNs =
                attributePrefix.empty() ? std::string() : Resolve(attributePrefix);
            if (!attributeNs)
                return false;
            if (*attributeNs == kXmlNamespace && attributeLocal == "lang")
                lang = attribute.value;
            out.attributes.push_back(
                {std::move(*attributeNs), std::string(attributeLocal), std::move(attribute.value)});
        }
        out.lang = lang;

        if (!empty && !Content(out, depth, lang, qname))
            return false;
        m_bindings.resize(bindingsBefore);
        return true;
    }

    bool Content(XmlElement& out, std::size_t depth, const std::string& lang,
                 std::string_view qname) {
        out.content.emplace_back();
        for (;;) {
            if (m_at >= m_text.size())
                return false;
            if (StartsWith("</")) {
                m_at += 2;
                if (Name() != qname)
                    return false;
                SkipSpace();
                if (!Peek('>'))
                    return false;
                ++m_at;
                return true;
            }
            if (StartsWith("<!--")) {
                if (!SkipPast("-->"))
                    return false;
                continue;
            }
            if (StartsWith("<![CDATA[")) {
                m_at += 9;
                const std::size_t end = m_text.find("]]>", m_at);
                if (end == std::string_view::npos)
                    return false;
                out.content.back().text += m_text.substr(m_at, end - m_at);
                m_at = end + 3;
                continue;
            }
            if (StartsWith("<?")) {
                if (!SkipPast("?>"))
                    return false;
                continue;
            }
            if (StartsWith("<!"))
                return false;
            if (Peek('<')) {
                XmlElement child;
                if (!Element(child, depth + 1, lang))
                    return false;
                out.content.back().child = static_cast<std::ptrdiff_t>(out.children.size());
                out.children.push_back(std::move(child));
                out.content.emplace_back();
                continue;
            }
            if (!CharData(out.content.back().text, '<'))
                return false;
        }
    }

    std::string_view m_text;
    std::size_t m_at{0};
    std::size_t m_elements{0};
    std::vector<Binding> m_bindings; // the declarations in scope, innermost last
};

void AppendElement(std::string& out, const XmlElement& element, std::size_t depth) {
    const std::string prefix = "n" + std::to_string(depth);
    const std::string name = element.ns.empty() ? element.local : prefix + ":" + element.local;
    out += '<';
    out += name;
    if (element.ns.empty()) {
        out += " xmlns=\"\"";
    } else {
        out += " xmlns:" + prefix + "=\"";
        AppendXmlEscaped(out, element.ns);
        out += '"';
    }
    std::size_t index = 0;
    for (const XmlAttribute& attribute : element.attributes) {
        out += ' ';
        if (attribute.ns == kXmlNamespace) {
            out += "xml:";
        } else if (!attribute.ns.empty()) {
            const std::string attributePrefix =
                "a" + std::to_string(depth) + "_" + std::to_string(index++);
            out += "xmlns:" + attributePrefix + "=\"";
            AppendXmlEscaped(out, attribute.ns);
            out += "\" " + attributePrefix + ":";
        }
        out += attribute.local;
        out += "=\"";
        AppendXmlEscaped(out, attribute.value);
        out += '"';
    }
    if (element.children.empty() && element.Text().empty()) {
        out += "/>";
        return;
    }
    out += '>';
    for (const XmlElement::Piece& piece : element.content) {
        AppendXmlEscaped(out, piece.text);
        if (piece.child >= 0)
            AppendElement(out, element.children[static_cast<std::size_t>(piece.child)], depth + 1);
    }
    out += "</";
    out += name;
    out += '>';
}

} // namespace

const XmlElement* XmlElement::Child(std::string_view nameSpace, std::string_view name) const {
    for (const XmlElement& child : children) {
        if (child.Is(nameSpace, name))
            return &child;
    }
    return nullptr;
}

std::string XmlElement::Text() const {
    std::string text;
    for (const Piece& piece : content)
        text += piece.text;
    return text;
}

std::string XmlElement::InnerXml() const {
    std::string out;
    for (const Piece& piece : content) {
        AppendXmlEscaped(out, piece.text);
        if (piece.child >= 0)
            AppendElement(out, children[static_cast<std::size_t>(piece.child)], 0);
    }
    return out;
}

std::optional<XmlElement> ParseXmlDocument(std::string_view text) {
    if (!IsValidUtf8(text) || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    return Reader(text).Document();
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
    // Runs without special characters, the common case, go in one append.
    constexpr std::string_view kSpecial = "<>&\"\r";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t special = text.find_first_of(kSpecial, start);
        out.append(text.substr(start, special - start));
        if (special == std::string_view::npos)
            return;
        switch (text[special]) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += "&#13;";
            break;
        }
        start = special + 1;
    }
}

} // namespace Velto::Corvane
