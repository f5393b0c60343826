#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// `disposition`; filename="<ASCII fallback>"; filename*=UTF-8''<percent-encoded name>
// The fallback keeps printable ASCII except " % ; \ and writes "_" for every
// other UTF-16 code unit; an empty fallback is "download".
std::string ContentDisposition(std::string_view disposition, std::u16string_view fileName);

} // namespace Velto::Corvane
