// The link driven in simulated milliseconds against a small scripted logger on a fake port.
#pragma once

#include "FakeHost.h"
#include "link/KestroLink.h"
#include "protocol/LogRecord.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace klinktest {

// A 35-character reply at 9600 baud.
inline constexpr int ReplyWireMs = 37;

// Reply payload helpers: the logger sends words low byte first.
std::string LeWord(uint32_t word);
std::string BeWord(uint32_t word);
std::string TextPayload(const std::string& text); // 16 characters as hex pairs
// The logger keeps its texts blank-padded to 16 characters, and sends them so.
std::string Pad16(std::string text);
// Delivered text: payload, ">" and ">" (so a decoded text ends in NUL).
std::string Delivered(const std::string& payload);
std::string RecordPayload(const protocol::LogRecord& record);

struct TSent {
    int AtMs;
    std::string Framed;
    std::string Body() const; // between "<" and ">>"
};

class TRig {
public:
    TRig();

    // The scripted logger.
    int ReplyDelayMs = 40;
    // Extra delay for single replies, by the number of the reply (1 = the first one).
    std::map<int, int> LateReplies;
    // Extra delay for every reply to a command body.
    std::map<std::string, int> SlowBodies;
    // When set, the delay of each reply is drawn from [JitterLow, JitterHigh].
    int JitterLow = 0, JitterHigh = 0;
    unsigned JitterSeed = 1;
    // The logger answers "C" only once its erase is over.
    bool ClearAnswerAfterErase = false;
    bool Silent = false;
    int DropReplies = 0; // the next n replies are lost
    int LoseEvery = 0;   // every n-th reply is lost
    int GarbleEvery = 0; // every n-th reply carries a non-hex character
    std::string Name = "Harbour One";
    std::string Serial = "SN-0042";
    std::string Version = "KV1.2 2040";
    std::array<std::string, 3> ZoneTexts = {"Stern", "Keel", "Bow"};
    std::array<uint16_t, 6> Settings = {1, 2, 60, 0, 1, 0}; // LE(0) ... LE(5)
    int32_t ClockMinutes = 14000000;
    std::vector<protocol::LogRecord> Log; // entries 1..n
    // A new entry, 15 minutes after the last, is logged as this log number is requested
    // (once; 0 never). With LogMemory set the log is cyclic and holds that many: a full one
    // drops its oldest, so every entry moves down a number.
    int LogDuringDownloadAt = 0;
    std::size_t LogMemory = 0;
    int EraseSilenceMs = 0;

    TFakeHost Host;
    klink::TKestroLink Link{Host};
    int Now = 0;
    std::vector<TSent> Sent;

    // Advances simulated time: Timer1 every 250 ms, Timer2 every 80 ms, the reply timer, and
    // the logger's replies after their delay.
    void Run(int ms);
    // Runs until the link is ready (or the time is up); true when it got there.
    bool RunUntilReady(int limitMs = 10000);
    // Runs until no download is running (or the time is up); true when it has ended.
    bool RunUntilDownloaded(int limitMs = 60000);
    std::vector<std::string> SentBodies(std::size_t from = 0) const;
    // Fills the log with n entries, one every 15 minutes from 14,000,000 minutes.
    void FillLog(int n);
    // Logs the next entry, as the logger's clock would.
    void LogNext();

    // The reply last queued comes this much later (with the ones behind it).
    void DelayLastReply(int ms);
    // What the logger answers to a body; nullopt when it stays silent.
    std::optional<std::string> Answer(const std::string& body);

private:
    void Collect();
    void DeliverDue();
    struct TPending {
        int AtMs; // when its last byte is in
        std::string Text;
        bool Started = false; // its first bytes have reached the port
    };
    std::vector<TPending> Pending;
    std::size_t SeenWrites = 0;
    int SeenPurges = 0;
    int TimerDeadline = -1;
    int SilentUntil = -1;
    int Replies = 0;
};

} // namespace klinktest
