// Get Logs as a state machine on Timer2: the same requests at the same ticks as a waiting
// loop would send, without a nested message loop.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/Transmitter.h"
#include "logdata/LogDisplay.h"
#include "logdata/LogFile.h"
#include "protocol/DateTime.h"
#include "protocol/LogRecord.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace klink {

// Requests in a row for one log number without an entry coming back before the download
// gives up on a logger that has fallen silent. Each unanswered one costs a time-out and the
// line's settling, so this is some ten seconds.
inline constexpr int SilentRequestLimit = 6;

// The shortest time between two log requests: one Timer2 period.
inline constexpr int RequestPeriodMs = 80;

inline constexpr const char* AbortCaption = "ABORT Get Logs";
inline constexpr const char* GetLogsCaption = "Getlogs - Kestro";

// "The Kestro stopped answering at log N."
std::string StoppedAnsweringText(int32_t logIndex);
// Said when the log ends before the count the logger gave when the download began.
std::string EndedShortText(std::size_t entries, int32_t logCount);
// Said when a full log moved on during the download and these entries are not in the file;
// none named when which ones cannot be told.
std::string EntriesLostText(const std::vector<protocol::LogRecord>& lost,
                            const protocol::DateFormats& formats);

// Times a full log is searched again for entries that moved because it moved on once more
// while it was being searched.
inline constexpr int MovedSearchRounds = 3;

// When the next log request or poll step goes out: on the timer's tick (the pace the logger is
// used to), or as soon as the last reply has been taken. Either way one question at a time, and
// one that is not answered is repeated on the ticks.
enum class TRequestPacing { EveryTick, OnReply };

class TLogDownload {
public:
    TLogDownload(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                 logdata::TLogDisplay& display, logdata::TLogFile& file,
                 const protocol::DateFormats& formats);

    // The header is in the open log file; the display is cleared and the first request
    // follows two Timer2 periods later.
    void Start();
    // The button clicked again: nothing more is requested; the file keeps what came.
    void Abort();
    // Completes and closes the file, and tells the host why the download ended; also used
    // when the window closes.
    void Finish(TDownloadEnd end = TDownloadEnd::Cancelled);

    void Timer2Timer();
    // A reply has been handled. A slow logger's next request goes out at once when a whole
    // period has passed since the last one, instead of at the next tick.
    void ReplyHandled();
    void SetPacing(TRequestPacing pacing) { Pacing = pacing; }
    // The entries of the last download written to its file, entry 0 included.
    const std::vector<protocol::LogRecord>& Records() const { return Written; }
    // A decoded log entry, numbered with LogIndex. Outside a download it is only shown.
    void RecordDecoded(const protocol::LogRecord& record);

    bool Running() const { return Phase != TPhase::Idle; }
    // From the first request on; before it a due poll step may still go out.
    bool Requesting() const {
        return Phase == TPhase::FirstEntry || Phase == TPhase::Looping || Phase == TPhase::Checking;
    }

private:
    // Checking: the pass has read every slot of a full log; a cyclic log that logged meanwhile
    // has moved every entry down a number, so an entry can have been passed over. A few slots
    // are read again to find any such entry.
    enum class TPhase { Idle, Preparing, FirstEntry, Looping, Checking };
    enum class TCheck { FirstSlot, Search, Recheck };
    // Back to idle with the button and menu as outside a download; the file is left as it is.
    void Stop();
    void Step();
    void Pass();
    void SendRequest();
    void RequestAgain();
    void StopOnFileError(const std::string& message);
    void Tell(TDownloadEnd end);
    // The log's end as the logger gave it, complete or short of the count read at the start.
    void EndOfLog();
    bool EvenlySpaced() const;
    void StartCheck();
    void Check();
    void Probe(int32_t slot);
    // Entries of the file in time order, entry 0 left out; false when they are not.
    bool TimeOrdered() const;
    std::size_t HeldBetween(int64_t firstMinutes, int64_t lastMinutes) const;
    bool Held(const protocol::LogRecord& record) const;
    void Recover(const protocol::LogRecord& record);
    // Ends a check that found entries to put in place, or could not tell.
    void EndChecked(bool certain);
    // Writes the file again with the entries in time order; false with the reason when not.
    bool RewriteFile(const std::vector<protocol::LogRecord>& records, std::string& error);

    TLinkHost& Host;
    TLinkValues& Vals;
    TTransmitter& Trans;
    logdata::TLogDisplay& Display;
    logdata::TLogFile& File;
    const protocol::DateFormats& Formats;
    TPhase Phase = TPhase::Idle;
    TRequestPacing Pacing = TRequestPacing::EveryTick;
    int Wait = 0;
    bool Received = false;
    bool EndReached = false;
    int Unanswered = 0;
    int64_t RequestedAtMs = 0;
    std::string FileName;
    std::vector<protocol::LogRecord> Written;
    int32_t CountAtStart = -1;
    // The check of a full log: the slots read again, this round's slot 1 as first read, the
    // slot ranges still to search, and entries found that the pass had passed over.
    TCheck CheckStage = TCheck::FirstSlot;
    int Round = 0;
    std::map<int32_t, protocol::LogRecord> Probed;
    protocol::LogRecord FirstOfRound;
    std::vector<std::pair<int32_t, int32_t>> Ranges;
    std::vector<protocol::LogRecord> Timeline;
    std::size_t Recovered = 0;
};

} // namespace klink
