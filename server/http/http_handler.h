#pragma once

#include "server/http/http_body.h"
#include "server/http/http_request.h"
#include "server/http/http_response.h"

namespace Velto::Corvane {

// Receives every request of the server. Called concurrently from connection
// threads (one request at a time per connection); must not let exceptions out.
class IHttpHandler {
public:
    virtual ~IHttpHandler() = default;
    virtual void Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response) = 0;
};

} // namespace Velto::Corvane
