#pragma once

// The logger's side of the line: cutting commands out of the received bytes and writing the
// hex payloads of replies. Kept apart from the program's own protocol code on purpose, so the
// two encoders check each other.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Sum of the unsigned byte values, modulo 256.
unsigned ChecksumOf(std::string_view text);

// "<" + body + ">>" + two uppercase checksum digits, as the program sends a command.
std::string FrameCommand(std::string_view body);

std::string HexByte(unsigned value);
// A 16-bit word as four hex digits, low byte first (how the logger sends its words).
std::string WordLowFirst(uint16_t value);
// The same, high byte first (only the log count is sent this way).
std::string WordHighFirst(uint16_t value);
// Sixteen characters as 32 hex digits; shorter text is padded with blanks.
std::string TextPayload(std::string_view text);

struct Received {
    enum Kind { Command, BadChecksum, Malformed };
    Kind kind = Command;
    std::string raw;  // the bytes as they came, from "<" on
    std::string body; // between "<" and ">>" (Command and BadChecksum only)
};

// Collects bytes until whole commands stand in the buffer. Bytes before a "<" are skipped.
// Commands of known length are cut by that length, since "P001>" and text fields may hold
// ">" themselves; the rest end at the first ">>" followed by two hex digits.
class CommandReader {
public:
    std::vector<Received> Push(std::string_view bytes);
    // The line has gone quiet: whatever is left is judged as it stands, so a short or broken
    // command cannot hold up the ones after it.
    std::vector<Received> Flush();
    bool Pending() const { return !buf_.empty(); }
    size_t SkippedBytes() const { return skipped_; }

private:
    bool TakeOne(std::vector<Received>& out, bool final);
    size_t FirstFrameEnd(size_t limit) const;
    std::string buf_;
    size_t skipped_ = 0;
};

// Body length of the command that starts so, 0 when more characters are needed to tell,
// -1 when the length is not fixed (unknown commands, "I04" + decimal minutes).
int KnownBodyLength(std::string_view bodyStart);

} // namespace sim
