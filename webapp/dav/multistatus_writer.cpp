#include "webapp/dav/multistatus_writer.h"

#include "server/http/reason_phrase.h"
#include "webapp/dav/xml_document.h"

namespace Velto::Corvane {

namespace {

// Room reserved for one response of a listing.
constexpr std::size_t kResponseGuess = 400;

} // namespace

MultistatusWriter::MultistatusWriter() {
    m_out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\">";
}

void MultistatusWriter::Reserve(std::size_t responses) {
    m_out.reserve(m_out.size() + responses * kResponseGuess);
}

void MultistatusWriter::BeginResponse(std::string_view href) {
    m_out += "<D:response><D:href>";
    AppendXmlEscaped(m_out, href);
    m_out += "</D:href>";
}

void MultistatusWriter::BeginPropstat() {
    m_out += "<D:propstat><D:prop>";
}

void MultistatusWriter::AddProperty(const DavPropertyName& name, std::string_view innerXml) {
    AppendProperty(m_out, name, innerXml);
}

void MultistatusWriter::AppendProperty(std::string& out, const DavPropertyName& name,
                                       std::string_view innerXml) {
    // Written for every property of every item of a listing: no temporary
    // strings.
    const bool dav = name.ns == kDavNamespace;
    const std::string_view prefix = dav ? "D:" : (name.ns.empty() ? "" : "P:");
    out += '<';
    out += prefix;
    out += name.local;
    if (!dav) {
        if (name.ns.empty()) {
            out += " xmlns=\"\"";
        } else {
            out += " xmlns:P=\"";
            AppendXmlEscaped(out, name.ns);
            out += '"';
        }
    }
    if (innerXml.empty()) {
        out += "/>";
        return;
    }
    out += '>';
    out += innerXml;
    out += "</";
    out += prefix;
    out += name.local;
    out += '>';
}

void MultistatusWriter::EndPropstat(std::int32_t status) {
    m_out += "</D:prop><D:status>";
    m_out += StatusLine(status);
    m_out += "</D:status></D:propstat>";
}

void MultistatusWriter::AddStatus(std::int32_t status) {
    m_out += "<D:status>";
    m_out += StatusLine(status);
    m_out += "</D:status>";
}

void MultistatusWriter::EndResponse() {
    m_out += "</D:response>";
}

std::string MultistatusWriter::Finish() {
    m_out += "</D:multistatus>\n";
    return std::move(m_out);
}

std::string MultistatusWriter::StatusLine(std::int32_t status) {
    std::string line = "HTTP/1.1 " + std::to_string(status);
    line += ' ';
    line += ReasonPhrase(status);
    return line;
}

} // namespace Velto::Corvane
