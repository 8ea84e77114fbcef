// Character conversions between values and the hex/digit characters of the logger's packets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace protocol {

// '0'-'9' -> 0-9, 'A'-'F' and 'a'-'f' -> 10-15; every other character counts as 0, never an error.
int HexDigitValue(char c);

// First character is the high nibble. Missing characters (a view shorter than 2) count as 0.
uint8_t HexPairToByte(std::string_view pair);
std::string HexPairToChar(std::string_view pair);

// Four characters, first most significant: 0-65535. Missing characters count as 0.
uint16_t HexQuadToWord(std::string_view quad);

// n < 10 -> '0' + n, otherwise 'A' + (n - 10); values past 15 give characters past 'F'.
char NibbleToHexChar(int32_t n);
// '0' + n, so 10-15 become ':' ';' '<' '=' '>' '?'.
char NibbleToDigitChar(int32_t n);

// Nibbles (v div 4096) mod 256, (v mod 4096) div 256, (v mod 256) div 16, v mod 16.
std::string WordToHexQuad(int32_t v);
std::string WordToDigitQuad(int32_t v);

// High and low nibble of the value's low byte.
std::string ByteToHexPair(int32_t v);

// Unsigned byte values (0-255) of the first count characters; 0 when count <= 0.
int32_t ByteSum(std::string_view text, int32_t count);

} // namespace protocol
