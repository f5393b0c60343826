#pragma once

#include "reach/device_description.h"

#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Velto::Corvane {

// Arguments of a SOAP action, in the order they are written.
using SoapArguments = std::vector<std::pair<std::string, std::string>>;

struct SoapReply {
    bool transportOk{false}; // a complete HTTP response arrived
    long httpStatus{0};
    std::int32_t upnpError{0}; // the fault's errorCode (0 when the reply has none)
    std::string body;
};

// The request body of `action` on the service of type `serviceType`.
std::string BuildSoapEnvelope(std::string_view serviceType, std::string_view action,
                              const SoapArguments& arguments);

// The two header lines of the request, each ending in CR LF.
std::string BuildSoapHeaders(std::string_view serviceType, std::string_view action);

// POSTs the action to the service's control URL.
SoapReply SoapCall(const WanService& service, std::string_view action,
                   const SoapArguments& arguments, std::stop_token cancel = {});

} // namespace Velto::Corvane
