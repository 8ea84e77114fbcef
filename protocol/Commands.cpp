#include "protocol/Commands.h"

#include "protocol/Convert.h"
#include "protocol/Framing.h"

#include <charconv>
#include <cstdint>

namespace protocol {

bool ReplyCarriesData(int32_t awaited) {
    return (awaited >= ReplyLogCount && awaited <= ReplySettings) ||
           (awaited >= ReplyReadings && awaited <= ReplyZone1Text + 2);
}

std::string Command::CommandText() const {
    return ComposeCommand(Body);
}

std::optional<Command> PollCommand(int32_t step) {
    static const std::array<Command, PollStepCount> cycle = {{
        {"i01", ReplySettings},
        {"i05", ReplySerialNumber},
        {"i03", ReplyName},
        {"i04", ReplyClock},
        {"l0000", ReplyLogCount},
        {"s", ReplySoftwareVersion},
        {"c", ReplyReadings},
        {"i06", ReplyZone1Text},
        {"i07", ReplyZone1Text + 1},
        {"i08", ReplyZone1Text + 2},
    }};
    if (step < 0 || step >= PollStepCount)
        return std::nullopt;
    return cycle[static_cast<std::size_t>(step)];
}

std::optional<Command> MaterialCommand(int32_t itemIndex) {
    if (itemIndex < 0 || itemIndex >= static_cast<int32_t>(MaterialItems.size()))
        return std::nullopt;
    return Command{std::string("M0") + static_cast<char>('0' + itemIndex), ReplySetMaterial};
}

std::optional<Command> RefTypeCommand(int32_t itemIndex) {
    if (itemIndex < 0 || itemIndex >= static_cast<int32_t>(RefTypeItems.size()))
        return std::nullopt;
    // "?" goes out as the character before '0'.
    return Command{std::string("R0") + static_cast<char>(0x2F + itemIndex), ReplySetZonesOrRefType};
}

std::optional<int32_t> LogIntervalForItem(int32_t itemIndex) {
    if (itemIndex < 0 || itemIndex >= static_cast<int32_t>(LogIntervalTable.size()))
        return std::nullopt;
    return LogIntervalTable[static_cast<std::size_t>(itemIndex)];
}

std::optional<Command> LogIntervalCommand(int32_t itemIndex) {
    const auto minutes = LogIntervalForItem(itemIndex);
    if (!minutes)
        return std::nullopt;
    return Command{"P" + WordToDigitQuad(*minutes), ReplySetLogInterval};
}

char ZonesDigitForItem(int32_t itemIndex) {
    return itemIndex >= 1 && itemIndex <= 3 ? static_cast<char>('0' + itemIndex) : '0';
}

Command ZonesCommand(char zonesDigit) {
    return Command{std::string("Z0") + zonesDigit, ReplySetZonesOrRefType};
}

Command CyclicLogCommand(bool checked) {
    return Command{checked ? "Y01" : "Y00", ReplySetCyclic};
}

std::optional<Command> TextFieldCommand(std::string_view letters, std::string_view text,
                                        int32_t awaited) {
    // An edit box holds no NUL, so the text ends there; nothing after it goes on the wire.
    const std::string_view visible = text.substr(0, text.find('\0'));
    if (visible.size() > TextFieldLength)
        return std::nullopt;
    std::string body(letters);
    body += visible;
    body.append(TextFieldLength - visible.size(), ' ');
    return Command{body, awaited};
}

std::optional<Command> NameCommand(std::string_view text) {
    return TextFieldCommand("I03", text, ReplySetText);
}

std::optional<Command> SerialNoCommand(std::string_view text) {
    return TextFieldCommand("I05", text, ReplySetText);
}

std::optional<Command> ZoneTextCommand(int32_t zone, std::string_view text) {
    if (zone < 1 || zone > 3)
        return std::nullopt;
    const std::string letters = "I0" + std::string(1, static_cast<char>('5' + zone));
    return TextFieldCommand(letters, text, ReplySetZone1Text + zone - 1);
}

std::optional<Command> SetTimeCommand(int64_t minutes) {
    if (minutes < 0 || minutes > INT32_MAX)
        return std::nullopt;
    const auto v = static_cast<int32_t>(minutes);
    return Command{"T" + WordToHexQuad(v / 65536) + WordToHexQuad(v % 65536), ReplySetClock};
}

std::optional<int32_t> StrictStrToInt(std::string_view text) {
    std::string_view digits = text;
    const bool plus = !digits.empty() && digits.front() == '+';
    if (plus)
        digits.remove_prefix(1);
    if (digits.empty() || (plus && digits.front() == '-'))
        return std::nullopt;
    int32_t value = 0;
    const auto* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<Command> SetTimeCommandFromText(std::string_view senTime) {
    const auto value = StrictStrToInt(senTime);
    if (!value)
        return std::nullopt;
    return SetTimeCommand(*value);
}

Command SetTextTimeCommand(std::string_view senTime) {
    return Command{"I04" + std::string(senTime), ReplySetClock};
}

Command ClearCommand() {
    return Command{"C", ReplyClearLogs};
}

std::optional<Command> LogRequestCommand(int32_t index) {
    if (index < 0 || index > 0xFFFF)
        return std::nullopt;
    return Command{"l" + WordToHexQuad(index), ReplyLogRecord};
}

Command LogCountCommand() {
    return Command{"l0000", ReplyLogCount};
}

std::optional<Command> CalibrationCommand(int32_t button) {
    static constexpr std::string_view letters = "abdefg";
    if (button < 0 || button >= static_cast<int32_t>(letters.size()))
        return std::nullopt;
    return Command{std::string(1, letters[static_cast<std::size_t>(button)]) + "0000",
                   ReplyCalibrationFirst + button};
}

Command ReadSettingsCommand() {
    return *PollCommand(0);
}
Command ReadNameCommand() {
    return *PollCommand(2);
}
Command ReadClockCommand() {
    return *PollCommand(3);
}
Command ReadSerialCommand() {
    return *PollCommand(1);
}
Command ReadSoftwareVersionCommand() {
    return *PollCommand(5);
}
Command ReadReadingsCommand() {
    return *PollCommand(6);
}

} // namespace protocol
