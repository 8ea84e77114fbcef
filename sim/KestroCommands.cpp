// What the simulated logger does with each command it knows, and the payload it answers.

#include "sim/Kestro.h"

#include <algorithm>
#include <charconv>

namespace sim {
namespace {

const std::string kEmptyPayload(32, '0');

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Four hex digits, most significant first, as the program writes log numbers and times.
std::optional<uint16_t> HexWord(std::string_view s) {
    if (s.size() != 4)
        return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        if (!IsHex(c))
            return std::nullopt;
        v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return static_cast<uint16_t>(v);
}

// Four characters 0x30 + nibble ("P001>" is 30 minutes), most significant first.
std::optional<int> DigitWord(std::string_view s) {
    if (s.size() != 4)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < 0x30 || c > 0x3F)
            return std::nullopt;
        v = v * 16 + (c - 0x30);
    }
    return v;
}

uint16_t Word(int value) {
    return static_cast<uint16_t>(value);
}

} // namespace

std::optional<std::string> Kestro::Dispatch(std::string_view body) {
    if (body.empty())
        return std::nullopt;
    std::optional<std::string> payload = Read(body);
    return payload ? payload : Write(body);
}

// Commands that read something; each has its own payload layout.
std::optional<std::string> Kestro::Read(std::string_view body) {
    if (body == "i01")
        return SettingsPayload();
    if (body == "i03")
        return TextPayload(name_);
    if (body == "i05")
        return TextPayload(serial_);
    if (body == "i06" || body == "i07" || body == "i08")
        return TextPayload(descriptions_[static_cast<size_t>(body[2] - '6')]);
    if (body == "s")
        return TextPayload(version_);
    if (body == "i04") {
        const auto minutes = static_cast<uint32_t>(ClockMinutes());
        return WordLowFirst(Word(int(minutes >> 16))) + WordLowFirst(Word(int(minutes & 0xFFFF))) +
               std::string(24, '0');
    }
    if (body == "c")
        return ReadingsPayload();
    if (body[0] == 'l' && body.size() == 5) {
        const std::optional<uint16_t> n = HexWord(body.substr(1));
        if (!n)
            return std::nullopt;
        if (config_.faults.logDuringDownloadAt > 0 && *n == config_.faults.logDuringDownloadAt &&
            !loggedDuringDownload_) {
            loggedDuringDownload_ = true;
            LogNextNow();
        }
        if (*n == 0) // the log count, the one word sent high byte first
            return WordHighFirst(Word(log_.Count())) + std::string(28, '0');
        return LogPayload(*n);
    }
    return std::nullopt;
}

// Commands that change something; their replies carry nothing the program reads.
std::optional<std::string> Kestro::Write(std::string_view body) {
    const size_t n = body.size();
    const char last = body.back();
    if (n == 3 && body.substr(0, 2) == "M0" && last >= '0' && last <= '3') {
        material_ = last - '0' - 1; // the program's item index is one above the stored value
    } else if (n == 3 && body.substr(0, 2) == "Z0" && last >= '0' && last <= '3') {
        zones_ = last - '0';
    } else if (n == 3 && body.substr(0, 2) == "R0" && last >= '/' && last <= '1') {
        refType_ = last - '0';
    } else if (n == 3 && (body == "Y00" || body == "Y01")) {
        cyclic_ = last == '1';
    } else if (n == 5 && body[0] == 'P' && DigitWord(body.substr(1))) {
        logInterval_ = *DigitWord(body.substr(1));
        nextLogMinute_ = ClockMinutes() + logInterval_;
    } else if (n == 19 && body[0] == 'I' && body[1] == '0' && body[2] >= '3' && body[2] <= '8' &&
               body[2] != '4') {
        const std::string text(body.substr(3));
        if (body[2] == '3')
            name_ = text;
        else if (body[2] == '5')
            serial_ = text;
        else
            descriptions_[static_cast<size_t>(body[2] - '6')] = text;
    } else if (n > 3 && n <= 13 && body.substr(0, 3) == "I04") {
        int64_t minutes = 0;
        const char* first = body.data() + 3;
        auto [end, ec] = std::from_chars(first, body.data() + n, minutes);
        if (ec != std::errc() || end != body.data() + n || minutes < 0 || *first == '-')
            return std::nullopt;
        SetClock(minutes);
    } else if (n == 9 && body[0] == 'T' && HexWord(body.substr(1, 4)) && HexWord(body.substr(5))) {
        SetClock(int64_t(*HexWord(body.substr(1, 4))) * 65536 + *HexWord(body.substr(5)));
    } else if (n == 1 && body == "C") {
        log_.Clear();
        erasingUntil_ = Now() + config_.eraseMs;
    } else if (n == 5 && std::string_view("abdefg").find(body[0]) != std::string_view::npos &&
               HexWord(body.substr(1))) {
        // Calibration: nothing to calibrate in a simulation, but the logger answers.
    } else {
        return std::nullopt;
    }
    return kEmptyPayload;
}

std::string Kestro::SettingsPayload() const {
    return WordLowFirst(Word(material_)) + WordLowFirst(Word(zones_)) +
           WordLowFirst(Word(logInterval_)) + WordLowFirst(0) + WordLowFirst(cyclic_ ? 1 : 0) +
           WordLowFirst(Word(refType_)) + WordLowFirst(0) + WordLowFirst(0);
}

std::string Kestro::ReadingsPayload() {
    std::string p;
    for (int z = 0; z < 3; ++z) {
        int mv = 0;
        if (z < zones_)
            mv = std::clamp(config_.zoneMillivolts[static_cast<size_t>(z)] +
                                int(Random(readingRng_, 5)) - 2,
                            -32768, 16384);
        p += WordLowFirst(Word(mv));
    }
    p += WordLowFirst(Word(config_.batteryCount + int(Random(readingRng_, 3)) - 1));
    return p + std::string(16, '0');
}

std::string Kestro::LogPayload(int n) const {
    const LogRecord* r = log_.At(n);
    if (!r)
        return kEmptyPayload; // an empty slot: time 0 ends the program's download
    const auto minutes = static_cast<uint32_t>(r->minutes);
    std::string p =
        WordLowFirst(Word(int(minutes >> 16))) + WordLowFirst(Word(int(minutes & 0xFFFF)));
    for (int16_t v : r->values)
        p += WordLowFirst(static_cast<uint16_t>(v));
    return p;
}

std::string Kestro::CountEntryLine() const {
    // Group 0 carries the count high byte first; read low byte first it is the high time word.
    const auto count = static_cast<uint16_t>(log_.Count());
    const auto highWord = static_cast<uint16_t>((count >> 8) | (count << 8));
    LogRecord asRecord;
    asRecord.minutes = int64_t(highWord) * 65536;
    return asRecord.minutes > 0 ? LogLine(0, asRecord) : std::string();
}

} // namespace sim
