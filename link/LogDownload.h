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
#include <string>
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
    bool Requesting() const { return Phase == TPhase::FirstEntry || Phase == TPhase::Looping; }

private:
    enum class TPhase { Idle, Preparing, FirstEntry, Looping };
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
};

} // namespace klink
