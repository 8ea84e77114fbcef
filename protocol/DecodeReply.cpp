#include "protocol/Decode.h"

#include "protocol/Commands.h"
#include "protocol/Framing.h"
#include "protocol/ReplyView.h"

#include <cmath>
#include <cstdio>

namespace protocol {

namespace {

template <typename T> std::optional<Reply> AsReply(std::optional<T> value) {
    if (!value)
        return std::nullopt;
    return Reply{std::move(*value)};
}

// The groups from this one on carry nothing in the reply to the question.
int32_t FirstUnusedGroup(int32_t awaited) {
    switch (awaited) {
    case ReplyLogCount:
        return 1;
    case ReplyClock:
        return 2;
    case ReplyReadings:
        return 4;
    case ReplySettings:
        return 6;
    default:
        return GroupCount;
    }
}

bool IsTextReply(int32_t awaited) {
    return awaited == ReplyName || awaited == ReplySerialNumber ||
           awaited == ReplySoftwareVersion ||
           (awaited >= ReplyZone1Text && awaited <= ReplyZone1Text + 2);
}

// A logger's text runs to its end or to a NUL, and after that NUL comes nothing but NULs. Any
// byte may stand in the text itself: a logger may hold control characters that another program
// wrote, and they are shown as blanks rather than lose the reply.
bool IsLoggerText(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ||
           text.find_first_not_of('\0', nul) == std::string_view::npos;
}

} // namespace

bool ReplyFitsLayout(int32_t awaited, std::string_view packet) {
    const ReplyView view(packet);
    for (int32_t k = FirstUnusedGroup(awaited); k < GroupCount; ++k) {
        if (view.Group(k) != "0000")
            return false;
    }
    if (IsTextReply(awaited)) {
        const std::string text = view.DecodedText();
        return IsLoggerText(std::string_view(text).substr(0, DecodedTextLength - 1));
    }
    return true;
}

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
