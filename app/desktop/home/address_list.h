#pragma once

#include "service/service_status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace App {

// Where the visitors an address is meant for connect from.
enum class AddressScope : std::uint8_t { Local = 0, Internet = 1 };

// "http://host" or "https://host", with ":port" unless the port is the
// scheme's default (80, or 443 for HTTPS).
std::u16string ServerUrl(bool https, std::uint16_t port, std::string_view host);

// The addresses visitors use in `scope`; empty unless the server runs. The
// local list has one address per local network address, in the service's
// order. The Internet list has the router's external address once the port is
// mapped; otherwise this machine's first address when that address is itself
// public and no mapping attempt is still in progress.
std::vector<std::u16string> AddressList(const Velto::Corvane::ServiceStatus& status,
                                        AddressScope scope);

// The first local address of a running server, or an empty text.
std::u16string FirstLocalAddress(const Velto::Corvane::ServiceStatus& status);

} // namespace App
