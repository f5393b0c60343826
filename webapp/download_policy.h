#pragma once

#include <string_view>

namespace Velto::Corvane {

// Downloads (single files and archives) are untrusted content shown under this
// site's origin: the sandbox keeps even an inline file from running script or
// reaching out.
constexpr std::string_view kDownloadPolicy =
    "sandbox; default-src 'none'; img-src 'self' data:; media-src 'self'; "
    "style-src 'unsafe-inline'";

} // namespace Velto::Corvane
