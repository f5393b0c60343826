#pragma once

#include "server/http/server_options.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Testing {

// Time-outs far beyond any test's run time: the tests decide when a
// connection ends, never a clock.
constexpr std::uint32_t kPatientMs = 600000;

// A server on a port the system picks, on loopback only, with patient
// time-outs; tests change what they exercise.
inline Corvane::ServerOptions LoopbackOptions() {
    Corvane::ServerOptions options;
    options.port = 0;
    options.loopbackOnly = true;
    options.headerTimeoutMs = kPatientMs;
    options.idleTimeoutMs = kPatientMs;
    options.ioTimeoutMs = kPatientMs;
    return options;
}

// A GET request head; `extra` holds whole header lines, each ending in CRLF.
inline std::string Get(std::string_view target, std::string_view extra = {}) {
    return "GET " + std::string(target) + " HTTP/1.1\r\nHost: test\r\n" + std::string(extra) +
           "\r\n";
}

} // namespace Velto::Testing
