#include "sim/Wire.h"

namespace sim {
namespace {

constexpr size_t kLongestFrame = 101; // composed text under 100 characters, plus two digits

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return static_cast<unsigned>(c - 'a' + 10);
}

// A complete frame ends with ">>" and two hex digits.
bool EndsAsFrame(std::string_view f) {
    const size_t n = f.size();
    return n >= 6 && f[n - 4] == '>' && f[n - 3] == '>' && IsHex(f[n - 2]) && IsHex(f[n - 1]);
}

Received Judge(std::string_view frame) {
    Received r;
    r.raw = std::string(frame);
    r.body = std::string(frame.substr(1, frame.size() - 5));
    const unsigned sent = HexValue(frame[frame.size() - 2]) * 16 + HexValue(frame.back());
    r.kind = sent == ChecksumOf(frame.substr(0, frame.size() - 2)) ? Received::Command
                                                                   : Received::BadChecksum;
    return r;
}

} // namespace

unsigned ChecksumOf(std::string_view text) {
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return sum % 256;
}

std::string HexByte(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}

std::string FrameCommand(std::string_view body) {
    std::string text = "<" + std::string(body) + ">>";
    return text + HexByte(ChecksumOf(text));
}

std::string WordLowFirst(uint16_t value) {
    return HexByte(value & 0xFF) + HexByte(value >> 8);
}

std::string WordHighFirst(uint16_t value) {
    return HexByte(value >> 8) + HexByte(value & 0xFF);
}

std::string TextPayload(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < 16; ++i)
        out += HexByte(i < text.size() ? static_cast<unsigned char>(text[i]) : ' ');
    return out;
}

int KnownBodyLength(std::string_view s) {
    if (s.empty())
        return 0;
    switch (s[0]) {
    case 's':
    case 'c':
    case 'C':
        return 1;
    case 'M':
    case 'Z':
    case 'R':
    case 'Y':
    case 'i':
        return 3;
    case 'l':
    case 'P':
    case 'a':
    case 'b':
    case 'd':
    case 'e':
    case 'f':
    case 'g':
        return 5;
    case 'T':
        return 9;
    case 'I':
        if (s.size() < 3)
            return 0;
        return s.substr(0, 3) == "I04" ? -1 : 19;
    default:
        return -1;
    }
}

std::vector<Received> CommandReader::Push(std::string_view bytes) {
    buf_.append(bytes);
    std::vector<Received> out;
    while (TakeOne(out, false)) {
    }
    return out;
}

std::vector<Received> CommandReader::Flush() {
    std::vector<Received> out;
    while (TakeOne(out, true)) {
    }
    return out;
}

// Length of the shortest prefix of at most limit bytes that ends as a frame, 0 if none.
size_t CommandReader::FirstFrameEnd(size_t limit) const {
    for (size_t n = 6; n <= buf_.size() && n <= limit; ++n)
        if (EndsAsFrame(std::string_view(buf_).substr(0, n)))
            return n;
    return 0;
}

// Takes one frame (or one rejected start) off the buffer; false when it needs more bytes.
bool CommandReader::TakeOne(std::vector<Received>& out, bool final) {
    const size_t start = buf_.find('<');
    const size_t skip = start == std::string::npos ? buf_.size() : start;
    skipped_ += skip;
    buf_.erase(0, skip);
    if (buf_.empty())
        return false;

    const int length = KnownBodyLength(std::string_view(buf_).substr(1));
    size_t end = 0;
    if (length > 0 && buf_.size() >= 5 + static_cast<size_t>(length)) {
        const size_t want = 5 + static_cast<size_t>(length);
        // A known letter with the wrong argument length still ends at its own ">>".
        end = EndsAsFrame(std::string_view(buf_).substr(0, want)) ? want : FirstFrameEnd(want);
    } else if (length < 0 || final) {
        end = FirstFrameEnd(kLongestFrame);
        if (end == 0 && !final && buf_.size() < kLongestFrame)
            return false;
    } else {
        return false;
    }
    if (end == 0) {
        // Not a frame: report it and look for the next "<" after this one.
        const size_t next = buf_.find('<', 1);
        const size_t cut = next == std::string::npos ? buf_.size() : next;
        out.push_back({Received::Malformed, buf_.substr(0, cut), {}});
        buf_.erase(0, cut);
        return true;
    }
    out.push_back(Judge(std::string_view(buf_).substr(0, end)));
    buf_.erase(0, end);
    return true;
}

} // namespace sim
