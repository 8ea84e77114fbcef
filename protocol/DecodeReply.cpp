#include "protocol/Decode.h"

#include "protocol/Commands.h"
#include "protocol/Framing.h"

#include <cmath>
#include <cstdio>

namespace protocol {

namespace {

template <typename T> std::optional<Reply> AsReply(std::optional<T> value) {
    if (!value)
        return std::nullopt;
    return Reply{std::move(*value)};
}

} // namespace

std::string LogCountText(int32_t count) {
    return std::to_string(count);
}

std::string DaysText(int32_t logDaysTenths) {
    return std::to_string(logDaysTenths / 10) + "." + std::to_string(logDaysTenths % 10) + " days";
}

std::string ZoneReadingText(int32_t millivolts) {
    return std::to_string(millivolts) + " mV";
}

std::string BatteryVoltsText(float volts) {
    // Ties go away from zero, as the program's formatter rounds; printf would round them to even.
    // A float times 10 is exact in a double, so the tie test sees the true value.
    const double tenths = std::round(static_cast<double>(volts) * 10.0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f V", tenths / 10.0);
    return buf;
}

std::string ClockText(const ClockReply& clock, const DateFormats& formats) {
    return DateTimeToStr(clock.Time(), formats);
}

std::optional<Reply> DecodeReply(int32_t awaited, std::string_view packet,
                                 const DecodeContext& context) {
    if (!IsFrameAccepted(packet))
        return std::nullopt;
    switch (awaited) {
    case ReplyLogRecord:
        return AsReply(DecodeLogRecord(packet, context.LogIndex));
    case ReplySettings:
        return AsReply(DecodeSettings(packet, context.LogCapacity));
    case ReplyLogCount:
        return AsReply(DecodeLogCount(packet));
    case ReplyName:
    case ReplySerialNumber:
    case ReplyZone1Text:
    case ReplyZone1Text + 1:
    case ReplyZone1Text + 2:
        return AsReply(DecodeText(packet));
    case ReplyClock:
        return AsReply(DecodeClock(packet));
    case ReplyReadings:
        return AsReply(DecodeReadings(packet));
    case ReplySoftwareVersion:
        return AsReply(DecodeSoftwareVersion(packet));
    default:
        return Reply{NoData{}};
    }
}

} // namespace protocol
