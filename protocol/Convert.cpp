#include "protocol/Convert.h"

#include <algorithm>

namespace protocol {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

namespace {
// Characters beyond the view count as NUL, which has the digit value 0.
char CharAt(std::string_view text, std::size_t i) {
    return i < text.size() ? text[i] : '\0';
}
} // namespace

uint8_t HexPairToByte(std::string_view pair) {
    return static_cast<uint8_t>(HexDigitValue(CharAt(pair, 0)) * 16 +
                                HexDigitValue(CharAt(pair, 1)));
}

std::string HexPairToChar(std::string_view pair) {
    return std::string(1, static_cast<char>(HexPairToByte(pair)));
}

uint16_t HexQuadToWord(std::string_view quad) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value * 16 + static_cast<uint32_t>(HexDigitValue(CharAt(quad, i)));
    return static_cast<uint16_t>(value);
}

char NibbleToHexChar(int32_t n) {
    // Wraps like a byte for values the table never produces.
    const int32_t code = n < 10 ? '0' + n : 'A' + (n - 10);
    return static_cast<char>(static_cast<uint8_t>(code & 0xFF));
}

char NibbleToDigitChar(int32_t n) {
    return static_cast<char>(static_cast<uint8_t>((0x30 + n) & 0xFF));
}

namespace {
template <typename ToChar> std::string Quad(int32_t v, ToChar toChar) {
    std::string out;
    out += toChar((v / 4096) % 256);
    out += toChar((v % 4096) / 256);
    out += toChar((v % 256) / 16);
    out += toChar(v % 16);
    return out;
}
} // namespace

std::string WordToHexQuad(int32_t v) {
    return Quad(v, NibbleToHexChar);
}

std::string WordToDigitQuad(int32_t v) {
    return Quad(v, NibbleToDigitChar);
}

std::string ByteToHexPair(int32_t v) {
    const auto low = static_cast<uint32_t>(v) & 0xFF;
    std::string out;
    out += NibbleToHexChar(static_cast<int32_t>(low >> 4));
    out += NibbleToHexChar(static_cast<int32_t>(low & 0x0F));
    return out;
}

int32_t ByteSum(std::string_view text, int32_t count) {
    if (count <= 0)
        return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(count));
    uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += static_cast<uint8_t>(text[i]);
    return static_cast<int32_t>(sum);
}

} // namespace protocol
