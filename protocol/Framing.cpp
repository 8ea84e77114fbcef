#include "protocol/Framing.h"

#include "protocol/Convert.h"

#include <algorithm>

namespace protocol {

std::string ComposeCommand(std::string_view body) {
    std::string out(StartDelimiter);
    out += body;
    out += CommandTerminator;
    return out;
}

std::string Checksum(std::string_view composed) {
    const auto count = static_cast<int32_t>(std::min<std::size_t>(composed.size(), 0x7FFFFFFF));
    return ByteToHexPair(ByteSum(composed, count));
}

std::optional<std::string> FrameCommand(std::string_view composed) {
    if (composed.size() >= MaxComposedLength)
        return std::nullopt;
    std::string out(composed);
    out += Checksum(composed);
    return out;
}

bool IsFrameAccepted(std::string_view packet) {
    return packet.size() >= 2 && packet[packet.size() - 2] == StopDelimiter[0];
}

std::string RxPacketText(std::string_view packet) {
    std::string out(StartDelimiter);
    out += packet;
    return out;
}

} // namespace protocol
