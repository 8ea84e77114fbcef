// Command framing, checksum and the frame test of received packets.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

inline constexpr std::string_view StartDelimiter = "<";
inline constexpr std::string_view StopDelimiter = ">";
inline constexpr std::string_view CommandTerminator = ">>";

// A composed command (without checksum) of this many characters or more is never sent.
inline constexpr std::size_t MaxComposedLength = 100;
// A reply on the wire: "<", 32 payload characters, ">", one further character.
inline constexpr std::size_t ReplyLength = 35;
inline constexpr std::size_t PayloadLength = 32;
// What the packet extractor delivers of a reply: everything after the "<".
inline constexpr std::size_t DeliveredLength = 34;

// "<" + body + ">>": the CommandText of a sender.
std::string ComposeCommand(std::string_view body);

// Two uppercase hex digits of the byte sum of the composed text, modulo 256.
std::string Checksum(std::string_view composed);

// The composed text with its checksum appended, as it goes on the wire; nullopt when the
// composed text has MaxComposedLength characters or more (such a command is dropped).
std::optional<std::string> FrameCommand(std::string_view composed);

// A delivered packet is taken only when its next-to-last character is ">".
bool IsFrameAccepted(std::string_view packet);

// "<" + packet: the line recorded in the traffic memo for an accepted packet.
std::string RxPacketText(std::string_view packet);

} // namespace protocol
