#pragma once

#include "app/headless/console_output.h"
#include "service/service_status.h"

#include <string>
#include <vector>

namespace App {

// "http://<address>:<port>/" (https when the server runs HTTPS) for every local
// address of a running server, in the status's order.
std::vector<std::string> AddressUrls(const Velto::Corvane::ServiceStatus& status);

// Prints where the server is reached: the local network addresses, this
// computer's own loopback address, and the first network address as a QR code
// when standard output is a terminal.
void PrintAddresses(ConsoleOutput& out, const Velto::Corvane::ServiceStatus& status,
                    bool loopbackOnly);

} // namespace App
