// Feeds arbitrary packet texts to every reply decoder. Besides crashes and sanitizer reports it
// stops on any decoded value that a well-formed reply could never produce.
#include "protocol/Commands.h"
#include "protocol/Decode.h"
#include "protocol/Framing.h"
#include "protocol/LogRecord.h"
#include "protocol/ReplyView.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace protocol;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool InReadingRange(int32_t v) {
    return v >= -49151 && v <= 16384;
}

void CheckRecord(const LogRecord& record, int32_t index) {
    Require(record.Index == index);
    Require(record.Minutes >= 0 && record.Minutes <= 0xFFFFFFFFLL);
    for (const int32_t v : record.Values)
        Require(InReadingRange(v));
    const std::string line = LogLine(record);
    Require(line.rfind(std::to_string(index) + " ", 0) == 0);
}

void CheckSettings(const SettingsReply& s, int32_t capacity) {
    Require(!s.MaterialItem || (*s.MaterialItem >= -1 && *s.MaterialItem <= 3));
    Require(!s.ZonesItem || (*s.ZonesItem >= 0 && *s.ZonesItem <= 3));
    Require(!s.LogInterval || (*s.LogInterval >= 0 && *s.LogInterval <= 5000));
    Require(s.LogIntervalItem.has_value() == s.LogDaysTenths.has_value());
    if (s.LogIntervalItem) {
        Require(LogIntervalTable[static_cast<std::size_t>(*s.LogIntervalItem)] == *s.LogInterval);
        Require(*s.LogDaysTenths == LogDaysTenths(capacity, *s.LogInterval));
        Require(!DaysText(*s.LogDaysTenths).empty());
    }
    Require(!s.RefTypeItem || (*s.RefTypeItem >= -1 && *s.RefTypeItem <= 2));
}

void CheckReadings(const Readings& r) {
    for (const int32_t v : r.Zones) {
        Require(InReadingRange(v));
        Require(!ZoneReadingText(v).empty());
    }
    Require(r.BatteryVolts >= 0.0f && r.BatteryVolts < 320.0f);
    Require(BatteryVoltsText(r.BatteryVolts).size() <= 7);
}

// Every decoder, each over the same text; a value is only ever decoded from a whole reply.
void DecodeAll(std::string_view packet) {
    const bool whole = packet.size() == DeliveredLength && IsFrameAccepted(packet);
    const ReplyView view(packet);
    for (int32_t k = -1; k <= GroupCount; ++k) {
        (void)view.BE(k);
        (void)view.LE(k);
        (void)view.StrictGroup(k);
    }
    Require(view.DecodedText().size() == DecodedTextLength);

    for (const int32_t index : {0, 1, 65535}) {
        const auto record = DecodeLogRecord(packet, index);
        Require(!record || whole);
        if (record)
            CheckRecord(*record, index);
    }
    for (const int32_t capacity : {511, 2040, 4090}) {
        const auto settings = DecodeSettings(packet, capacity);
        Require(settings.has_value() == whole);
        if (settings)
            CheckSettings(*settings, capacity);
    }
    const auto count = DecodeLogCount(packet);
    Require(count.has_value() == whole);
    Require(!count || (count->Count >= 0 && count->Count <= 65535));

    const auto text = DecodeText(packet);
    Require(text.has_value() == whole);
    Require(!text || text->Text.size() == DecodedTextLength);

    const auto clock = DecodeClock(packet);
    Require(clock.has_value() == whole);
    if (clock && clock->IsAfterEpoch())
        Require(!ClockText(*clock).empty());

    const auto readings = DecodeReadings(packet);
    Require(!readings || whole);
    if (readings)
        CheckReadings(*readings);

    const auto version = DecodeSoftwareVersion(packet);
    Require(version.has_value() == whole);
    Require(!version || version->LogCapacity == 511 || version->LogCapacity == 2040 ||
            version->LogCapacity == 4090);

    for (int32_t awaited = -1; awaited <= 56; ++awaited) {
        const auto reply = DecodeReply(awaited, packet, DecodeContext{3, 2040});
        Require(!reply || IsFrameAccepted(packet));
        if (reply && !ReplyCarriesData(awaited))
            Require(std::holds_alternative<NoData>(*reply));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    DecodeAll(raw);

    // Most random texts fail the frame test; also shape the bytes into a whole reply so that
    // the payload decoding itself is exercised.
    std::string shaped(raw.substr(0, PayloadLength));
    shaped.resize(PayloadLength, '0');
    shaped += '>';
    shaped += size > PayloadLength ? raw[PayloadLength] : '>';
    DecodeAll(shaped);

    (void)StrToDateTime(raw, DateFormats{});
    return 0;
}
