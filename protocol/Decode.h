// One decoder per awaited reply code. Each takes the delivered packet text T and returns the
// decoded values, or nullopt ("malformed") without any partial value; none of them throws.
// A text is malformed when its frame is not accepted or it is not DeliveredLength characters.
#pragma once

#include "protocol/DateTime.h"
#include "protocol/LogRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace protocol {

// LogCapacity until the software version has been read.
inline constexpr int32_t DefaultLogCapacity = 511;

struct LogCountReply {
    int32_t Count = 0; // 0-65535, first pair high
    bool operator==(const LogCountReply&) const = default;
};

// Names, serial number, software version and zone descriptions: 17 characters, see ReplyView.
struct TextReply {
    std::string Text;
    bool operator==(const TextReply&) const = default;
};

struct ClockReply {
    int32_t Minutes = 0; // LE(0) * 65536 + LE(1) as a 32-bit signed count
    // Only a time after the epoch is shown; otherwise the clock field stays as it was.
    bool IsAfterEpoch() const { return Minutes > 0; }
    DateTime Time() const { return DateTimeFromMinutes(Minutes); }
    bool operator==(const ClockReply&) const = default;
};

// Each field is present only when its word is in range; an absent field leaves its control.
struct SettingsReply {
    std::array<uint16_t, 8> Words{};        // LE(0) ... LE(7)
    std::optional<int32_t> MaterialItem;    // LE(0) + 1; -1 (no selection) for the logger's 3
    std::optional<int32_t> ZonesItem;       // LE(1), 0-3
    std::optional<int32_t> LogInterval;     // LE(2), 0-5000 minutes
    std::optional<int32_t> LogIntervalItem; // LogIntBox item of an interval in the table
    std::optional<int32_t> LogDaysTenths;   // with LogIntervalItem: capacity * interval div 144
    bool Cyclic = false;                    // LE(4) > 0
    std::optional<int32_t> RefTypeItem;     // LE(5) + 1; -1 (no selection) for the logger's 2
    bool operator==(const SettingsReply&) const = default;
};

struct Readings {
    std::array<int32_t, 3> Zones{}; // millivolts, Signed of strict groups 0-2
    uint16_t BatteryCount = 0;      // strict group 3, no sign rule
    float BatteryVolts = 0.0f;      // count * 4.977424 * 0.0009765625, each product a float
    bool operator==(const Readings&) const = default;
};

struct SoftwareVersion {
    std::string Text; // 17 characters, as TextReply
    int32_t LogCapacity = DefaultLogCapacity;
    bool operator==(const SoftwareVersion&) const = default;
};

std::optional<LogCountReply> DecodeLogCount(std::string_view packet);                // 20
std::optional<LogRecord> DecodeLogRecord(std::string_view packet, int32_t logIndex); // 21
std::optional<TextReply> DecodeText(std::string_view packet);   // 22, 23, 31-33
std::optional<ClockReply> DecodeClock(std::string_view packet); // 24
std::optional<SettingsReply> DecodeSettings(std::string_view packet, int32_t logCapacity); // 25
std::optional<Readings> DecodeReadings(std::string_view packet);                           // 29
std::optional<SoftwareVersion> DecodeSoftwareVersion(std::string_view packet);             // 30

// 2040 when the 6th character is '2', 4090 when it is '4', else 511.
int32_t LogCapacityForVersion(std::string_view versionText);
// Tenths of days that the log memory lasts: capacity * interval div 144.
int32_t LogDaysTenths(int32_t logCapacity, int32_t logInterval);
// count * 4.977424 * 0.0009765625, each product rounded to single precision.
float BatteryVoltsForCount(uint16_t count);

// Texts the controls show for decoded values.
std::string LogCountText(int32_t count);         // "%d"
std::string DaysText(int32_t logDaysTenths);     // "21.2 days"
std::string ZoneReadingText(int32_t millivolts); // "-120 mV"
std::string BatteryVoltsText(float volts);       // "12.5 V"
std::string ClockText(const ClockReply& clock, const DateFormats& formats = {});

// Everything a reply can decode to, chosen by the awaited code.
struct NoData {
    bool operator==(const NoData&) const = default;
};
using Reply = std::variant<NoData, LogCountReply, LogRecord, TextReply, ClockReply, SettingsReply,
                           Readings, SoftwareVersion>;

struct DecodeContext {
    int32_t LogIndex = 0;
    int32_t LogCapacity = DefaultLogCapacity;
};

// Whether a framed reply can be the answer awaited, beyond its fields' own checks: the logger
// sends "0" in every group a reply does not use, and a text of its has nothing after its first
// NUL but NULs (the 17th character, made from the reply's last character, is not looked at).
// Numbers read as a text break that rule, as a text read as a number breaks the first: a reply
// that breaks either answers some other question, as a late answer does when it lands after
// the next question went out.
bool ReplyFitsLayout(int32_t awaited, std::string_view packet);

// NoData for codes without decoding (0, the setting and calibration codes, unknown codes) once
// the frame is accepted; nullopt when the frame is not accepted or the payload is malformed.
std::optional<Reply> DecodeReply(int32_t awaited, std::string_view packet,
                                 const DecodeContext& context);

} // namespace protocol
