#include "protocol/ReplyView.h"

#include "protocol/Convert.h"

namespace protocol {

namespace {
bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
} // namespace

int32_t Signed(uint32_t x) {
    // The logger's readings turn negative above 0x4000, not above 0x7FFF.
    return x <= 0x4000 ? static_cast<int32_t>(x) : static_cast<int32_t>(x) - 65536;
}

std::string ReplyView::Group(int32_t k) const {
    std::string out(4, '\0');
    if (k < 0 || k >= GroupCount)
        return out;
    const auto first = static_cast<std::size_t>(k) * 4;
    for (std::size_t i = 0; i < 4; ++i)
        out[i] = At(first + i);
    return out;
}

uint16_t ReplyView::BE(int32_t k) const {
    return HexQuadToWord(Group(k));
}

uint16_t ReplyView::LE(int32_t k) const {
    const std::string g = Group(k);
    return HexQuadToWord(g.substr(2, 2) + g.substr(0, 2));
}

std::string ReplyView::DecodedText() const {
    std::string out;
    out.reserve(DecodedTextLength);
    for (std::size_t j = 0; j < DecodedTextLength; ++j) {
        const char pair[2] = {At(2 * j), At(2 * j + 1)};
        out += HexPairToChar(std::string_view(pair, 2));
    }
    return out;
}

std::optional<uint16_t> ReplyView::StrictGroup(int32_t k) const {
    if (k < 0 || k >= GroupCount)
        return std::nullopt;
    const std::string g = Group(k);
    const std::string swapped = g.substr(2, 2) + g.substr(0, 2);
    for (const char c : swapped)
        if (!IsHexDigit(c))
            return std::nullopt;
    return HexQuadToWord(swapped);
}

std::string TextUpToNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

} // namespace protocol
