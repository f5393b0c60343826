#include "server/http/exception_report.h"

#include "base/diag_log.h"

#include <cstdio>
#include <exception>
#include <string>

namespace Velto::Corvane {
namespace {

// Longest part of an exception's text that reaches the log.
constexpr std::size_t kMaxReportedText = 256;
constexpr std::u16string_view kNetTag = u"Net";

std::string Escaped(std::string_view text) {
    std::string out;
    const std::string_view kept = text.substr(0, kMaxReportedText);
    out.reserve(kept.size() + 3);
    for (const char c : kept) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte >= 0x80) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out.append(escape);
        } else {
            out.push_back(c);
        }
    }
    if (text.size() > kept.size())
        out.append("...");
    return out;
}

} // namespace

void ReportCaughtException(std::string_view where) noexcept {
    try {
        std::string message(where);
        message.append(" stopped an exception: ");
        try {
            throw;
        } catch (const std::exception& error) {
            message.append(Escaped(error.what()));
        } catch (...) {
            message.append("(not a standard exception)");
        }
        Net::DiagLog::Instance().Log(Net::LogLevel::Error, kNetTag, std::string_view(message));
    } catch (...) {
        // Out of memory while reporting: the record is lost, nothing else.
    }
}

} // namespace Velto::Corvane
