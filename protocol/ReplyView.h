// Read-only views over a delivered reply text: groups, byte orders, text and strict groups.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

inline constexpr int32_t GroupCount = 8;
inline constexpr std::size_t DecodedTextLength = 17;

// Values above 0x4000 are negative: x - 65536.
int32_t Signed(uint32_t x);

// Over the delivered text T (payload, ">", last character). Characters past the end of T read
// as NUL, so a short text never reads out of bounds. The view keeps its own copy of T, so it
// may outlive the text it was made from.
class ReplyView {
public:
    explicit ReplyView(std::string_view packet) : Packet(packet) {}

    // Group k, 0-7: characters 4k to 4k+3 of T.
    std::string Group(int32_t k) const;
    // First pair high byte; used only by the log count.
    uint16_t BE(int32_t k) const;
    // The logger sends words low byte first: second pair high.
    uint16_t LE(int32_t k) const;
    // 17 characters from the pairs of T; the last one comes from ">" and the last character.
    std::string DecodedText() const;
    // Group k in LE order with a strict conversion: nullopt when a character is not hex.
    std::optional<uint16_t> StrictGroup(int32_t k) const;

    std::string_view Text() const { return Packet; }

private:
    char At(std::size_t i) const { return i < Packet.size() ? Packet[i] : '\0'; }
    std::string Packet;
};

// The text as an edit box shows it: up to its first NUL.
std::string TextUpToNul(std::string_view text);

} // namespace protocol
