#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Velto::Instance {

// A command between copies of the program travels as one frame: a header of
// the 32-bit tag and the 32-bit byte length (host byte order; both ends are
// on this machine), then the command as UTF-16 code units. The receiver
// answers with one 32-bit value: 1 handled, 0 refused or not handled.
constexpr std::uint32_t kCommandTag = 0x4E4B5351;
constexpr std::uint32_t kMinCommandBytes = 1;
constexpr std::uint32_t kMaxCommandBytes = 65536;

struct CommandHeader {
    std::uint32_t tag{0};
    std::uint32_t length{0};
};
constexpr std::size_t kCommandHeaderBytes = 8;
constexpr std::size_t kCommandReplyBytes = 4;

// The tag is ours and the length is 1-65536 bytes and even.
bool IsAcceptableHeader(const CommandHeader& header);

// The command text of an accepted frame: the code units, less one trailing
// zero. None when the header is not acceptable or the body does not match it.
std::optional<std::u16string> DecodeCommand(const CommandHeader& header,
                                            std::span<const std::byte> body);

// Header and body of a command, with its terminating zero (length = 2 x
// characters + 2 bytes).
std::string EncodeCommand(std::u16string_view command);

} // namespace Velto::Instance
