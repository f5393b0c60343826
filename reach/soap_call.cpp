#include "reach/soap_call.h"

#include "reach/http_exchange.h"
#include "reach/xml_scan.h"

namespace Velto::Corvane {
namespace {

constexpr std::size_t kMaxErrorCodeDigits = 6;
constexpr long kHttpOk = 200;

// A service type or action with control characters cannot go into a header line.
bool FitsHeader(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

std::int32_t ParseErrorCode(std::string_view text) {
    if (text.empty() || text.size() > kMaxErrorCodeDigits)
        return 0;
    std::int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string BuildSoapEnvelope(std::string_view serviceType, std::string_view action,
                              const SoapArguments& arguments) {
    std::string body = "<?xml version=\"1.0\"?>\r\n"
                       "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\""
                       " s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
                       "<s:Body><u:";
    body.append(action).append(" xmlns:u=\"").append(EscapeXml(serviceType)).append("\">");
    for (const auto& [name, value] : arguments)
        body.append("<")
            .append(name)
            .append(">")
            .append(EscapeXml(value))
            .append("</")
            .append(name)
            .append(">");
    body.append("</u:").append(action).append("></s:Body></s:Envelope>\r\n");
    return body;
}

std::string BuildSoapHeaders(std::string_view serviceType, std::string_view action) {
    std::string headers = "Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"";
    headers.append(serviceType).append("#").append(action).append("\"\r\n");
    return headers;
}

SoapReply SoapCall(const WanService& service, std::string_view action,
                   const SoapArguments& arguments, std::stop_token cancel) {
    SoapReply reply;
    if (!FitsHeader(service.serviceType) || !FitsHeader(action))
        return reply;
    auto response =
        HttpExchange(service.controlUrl, "POST", BuildSoapHeaders(service.serviceType, action),
                     BuildSoapEnvelope(service.serviceType, action, arguments), cancel);
    if (!response)
        return reply;
    reply.transportOk = true;
    reply.httpStatus = response->status;
    reply.body = std::move(response->body);
    if (reply.httpStatus != kHttpOk)
        reply.upnpError = ParseErrorCode(ElementText(reply.body, "errorCode"));
    return reply;
}

} // namespace Velto::Corvane
