#include "instance/command_frame.h"

#include <cstring>

namespace Velto::Instance {

bool IsAcceptableHeader(const CommandHeader& header) {
    return header.tag == kCommandTag && header.length >= kMinCommandBytes &&
           header.length <= kMaxCommandBytes && header.length % 2 == 0;
}

std::optional<std::u16string> DecodeCommand(const CommandHeader& header,
                                            std::span<const std::byte> body) {
    if (!IsAcceptableHeader(header) || body.size() != header.length)
        return std::nullopt;
    std::u16string text(body.size() / 2, u'\0');
    std::memcpy(text.data(), body.data(), body.size());
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::string EncodeCommand(std::u16string_view command) {
    const CommandHeader header{kCommandTag, static_cast<std::uint32_t>((command.size() + 1) * 2)};
    std::string frame(kCommandHeaderBytes + header.length, '\0');
    std::memcpy(frame.data(), &header.tag, 4);
    std::memcpy(frame.data() + 4, &header.length, 4);
    std::memcpy(frame.data() + kCommandHeaderBytes, command.data(), command.size() * 2);
    return frame;
}

} // namespace Velto::Instance
