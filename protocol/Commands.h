// Every command the program sends: its body and the reply code it leaves in AwaitedReply.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// Codes of AwaitedReply; the reply itself does not say what it answers.
inline constexpr int32_t ReplyNone = 0;
inline constexpr int32_t ReplyClearLogs = 1;
inline constexpr int32_t ReplySetZonesOrRefType = 10;
inline constexpr int32_t ReplySetMaterial = 11;
inline constexpr int32_t ReplySetLogInterval = 12;
inline constexpr int32_t ReplySetText = 14; // name and serial number
inline constexpr int32_t ReplySetClock = 15;
inline constexpr int32_t ReplySetCyclic = 16;
inline constexpr int32_t ReplyLogCount = 20;
inline constexpr int32_t ReplyLogRecord = 21;
inline constexpr int32_t ReplyName = 22;
inline constexpr int32_t ReplySerialNumber = 23;
inline constexpr int32_t ReplyClock = 24;
inline constexpr int32_t ReplySettings = 25;
inline constexpr int32_t ReplyReadings = 29;
inline constexpr int32_t ReplySoftwareVersion = 30;
inline constexpr int32_t ReplyZone1Text = 31;        // 32, 33 for zones 2 and 3
inline constexpr int32_t ReplySetZone1Text = 34;     // 35, 36 for zones 2 and 3
inline constexpr int32_t ReplyCalibrationFirst = 50; // up to 55

// True for the codes whose reply carries values (20-25, 29-33).
bool ReplyCarriesData(int32_t awaited);

struct Command {
    std::string Body;
    int32_t AwaitedReply = ReplyNone;
    // "<" + Body + ">>", what the sender hands to TransmitString.
    std::string CommandText() const;
    bool operator==(const Command&) const = default;
};

// Minutes for the items of LogIntBox, in item order ("?" first).
inline constexpr std::array<int16_t, 12> LogIntervalTable = {9999, 0,  1,   2,   5,   15,
                                                             30,   60, 120, 360, 720, 1440};

// Item texts of the four setting selectors, in item order.
inline constexpr std::array<std::string_view, 4> MaterialItems = {"?", "Aluminium", "Steel",
                                                                  "Bronze"};
inline constexpr std::array<std::string_view, 4> ZonesItems = {"?", "1", "2", "3"};
inline constexpr std::array<std::string_view, 3> RefTypeItems = {"?", "Zinc", "Ag AgCl"};
inline constexpr std::array<std::string_view, 12> LogIntervalItems = {
    "?",          "Off",    "1 Minute", "2 Minutes", "5 Minutes", "15 Minutes",
    "30 Minutes", "1 Hour", "2 Hours",  "6 Hours",   "12 Hours",  "24 Hours"};

// Text fields go out blank-padded to this many characters.
inline constexpr std::size_t TextFieldLength = 16;

// The ten poll steps, 0 to 9: "i01", "i05", "i03", "i04", "l0000", "s", "c", "i06", "i07", "i08".
inline constexpr int32_t PollStepCount = 10;
std::optional<Command> PollCommand(int32_t step);

// Item-index senders; nullopt for an index outside the selector's items.
std::optional<Command> MaterialCommand(int32_t itemIndex);    // "M0" + ('0' + item)
std::optional<Command> RefTypeCommand(int32_t itemIndex);     // "R0" + (0x2F + item)
std::optional<Command> LogIntervalCommand(int32_t itemIndex); // "P" + digit quad of the minutes
// LogInterval that LogIntBoxChange stores for the item; nullopt outside the table.
std::optional<int32_t> LogIntervalForItem(int32_t itemIndex);

// ZonesDigit for a ZonesBox item: '1'-'3' for items 1-3, '0' for "?" or no selection (-1).
char ZonesDigitForItem(int32_t itemIndex);
Command ZonesCommand(char zonesDigit); // "Z0" + digit

Command CyclicLogCommand(bool checked); // "Y01" / "Y00"

// Text-field senders. The text counts up to its first NUL; 17 characters or more send nothing
// (nullopt); shorter texts are blank-padded to 16. Texts are single-byte (code page) characters.
std::optional<Command> TextFieldCommand(std::string_view letters, std::string_view text,
                                        int32_t awaited);
std::optional<Command> NameCommand(std::string_view text);     // "I03", 14
std::optional<Command> SerialNoCommand(std::string_view text); // "I05", 14
std::optional<Command> ZoneTextCommand(int32_t zone,
                                       std::string_view text); // zone 1-3: "I06"-"I08"

// "T" + hex quad of (v div 65536) + hex quad of (v mod 65536); nullopt unless 0 <= v <= 2^31-1.
std::optional<Command> SetTimeCommand(int64_t minutes);
// From the SenTime text: strict decimal integer conversion; nullopt when it is not one.
std::optional<Command> SetTimeCommandFromText(std::string_view senTime);
// Strict 32-bit decimal conversion (optional sign, digits only).
std::optional<int32_t> StrictStrToInt(std::string_view text);
// "I04" + the SenTime text unchanged.
Command SetTextTimeCommand(std::string_view senTime);

Command ClearCommand();                                  // "C", 1
std::optional<Command> LogRequestCommand(int32_t index); // "l" + hex quad, 21; 0 <= index <= 65535
Command LogCountCommand();                               // "l0000", 20

// Calibration buttons CalL1, CalH1, CalL2, CalH2, CalL3, CalH3 as 0-5: "a0000" ... "g0000", 50-55.
std::optional<Command> CalibrationCommand(int32_t button);

// Operations no control invokes, kept for completeness.
Command ReadSettingsCommand();        // "i01", 25
Command ReadNameCommand();            // "i03", 22
Command ReadClockCommand();           // "i04", 24
Command ReadSerialCommand();          // "i05", 23
Command ReadSoftwareVersionCommand(); // "s", 30
Command ReadReadingsCommand();        // "c", 29

} // namespace protocol
