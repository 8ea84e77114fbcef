#include "protocol/Decode.h"

#include "protocol/Commands.h"
#include "protocol/Framing.h"
#include "protocol/ReplyView.h"

namespace protocol {

namespace {

// Only a whole reply (payload, ">", last character) carries values.
bool IsWholeReply(std::string_view packet) {
    return packet.size() == DeliveredLength && IsFrameAccepted(packet);
}

// Time words as the logger sends them: high word first, each word low byte first.
int64_t TimeWords(const ReplyView& view) {
    return int64_t{view.LE(0)} * 65536 + view.LE(1);
}

std::optional<int32_t> ItemInRange(uint16_t word, uint16_t highest, int32_t itemCount,
                                   int32_t offset) {
    if (word > highest)
        return std::nullopt;
    const int32_t item = word + offset;
    // An index past the last item leaves the selector with no selection.
    return item < itemCount ? item : -1;
}

std::optional<int32_t> TableItem(int32_t minutes) {
    for (std::size_t i = 0; i < LogIntervalTable.size(); ++i)
        if (LogIntervalTable[i] == minutes)
            return static_cast<int32_t>(i);
    return std::nullopt;
}

void DecodeLogInterval(uint16_t word, int32_t logCapacity, SettingsReply& out) {
    if (word > 5000)
        return;
    out.LogInterval = word;
    out.LogIntervalItem = TableItem(word);
    if (out.LogIntervalItem)
        out.LogDaysTenths = LogDaysTenths(logCapacity, word);
}

} // namespace

std::optional<LogCountReply> DecodeLogCount(std::string_view packet) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    return LogCountReply{ReplyView(packet).BE(0)};
}

std::optional<LogRecord> DecodeLogRecord(std::string_view packet, int32_t logIndex) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    const ReplyView view(packet);
    LogRecord record;
    record.Index = logIndex;
    for (int32_t k = 2; k < GroupCount; ++k) {
        const auto value = view.StrictGroup(k);
        if (!value)
            return std::nullopt;
        record.Values[static_cast<std::size_t>(k - 2)] = Signed(*value);
    }
    record.Minutes = TimeWords(view);
    return record;
}

std::optional<TextReply> DecodeText(std::string_view packet) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    return TextReply{ReplyView(packet).DecodedText()};
}

std::optional<ClockReply> DecodeClock(std::string_view packet) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    // The count is a signed 32-bit value: a high word from 0x8000 up lies before the epoch.
    const auto count = static_cast<uint32_t>(TimeWords(ReplyView(packet)));
    return ClockReply{static_cast<int32_t>(count)};
}

std::optional<SettingsReply> DecodeSettings(std::string_view packet, int32_t logCapacity) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    const ReplyView view(packet);
    SettingsReply out;
    for (int32_t k = 0; k < GroupCount; ++k)
        out.Words[static_cast<std::size_t>(k)] = view.LE(k);
    out.MaterialItem = ItemInRange(out.Words[0], 3, static_cast<int32_t>(MaterialItems.size()), 1);
    out.ZonesItem = ItemInRange(out.Words[1], 3, static_cast<int32_t>(ZonesItems.size()), 0);
    DecodeLogInterval(out.Words[2], logCapacity, out);
    out.Cyclic = out.Words[4] > 0;
    out.RefTypeItem = ItemInRange(out.Words[5], 2, static_cast<int32_t>(RefTypeItems.size()), 1);
    return out;
}

std::optional<Readings> DecodeReadings(std::string_view packet) {
    if (!IsWholeReply(packet))
        return std::nullopt;
    const ReplyView view(packet);
    Readings out;
    for (int32_t k = 0; k < 3; ++k) {
        const auto value = view.StrictGroup(k);
        if (!value)
            return std::nullopt;
        out.Zones[static_cast<std::size_t>(k)] = Signed(*value);
    }
    const auto battery = view.StrictGroup(3);
    if (!battery)
        return std::nullopt;
    out.BatteryCount = *battery;
    out.BatteryVolts = BatteryVoltsForCount(*battery);
    return out;
}

std::optional<SoftwareVersion> DecodeSoftwareVersion(std::string_view packet) {
    const auto text = DecodeText(packet);
    if (!text)
        return std::nullopt;
    return SoftwareVersion{text->Text, LogCapacityForVersion(text->Text)};
}

int32_t LogCapacityForVersion(std::string_view versionText) {
    if (versionText.size() < 6)
        return DefaultLogCapacity;
    switch (versionText[5]) {
    case '2':
        return 2040;
    case '4':
        return 4090;
    default:
        return DefaultLogCapacity;
    }
}

int32_t LogDaysTenths(int32_t logCapacity, int32_t logInterval) {
    return static_cast<int32_t>(int64_t{logCapacity} * logInterval / 144);
}

float BatteryVoltsForCount(uint16_t count) {
    // Both products are rounded to single precision; that decides the shown digit of some counts.
    const auto scaled = static_cast<float>(static_cast<long double>(count) * 4.977424L);
    return static_cast<float>(static_cast<long double>(scaled) * 0.0009765625L);
}

} // namespace protocol
