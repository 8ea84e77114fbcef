// The 250 ms tick: PC clock, status line, watchdog and the ten-step poll cycle.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/LogDownload.h"
#include "link/Transmitter.h"
#include "protocol/DateTime.h"

#include <string>

namespace klink {

struct TStatusLook {
    std::string Text; // "" for a state the status line does not know
    Colour StateColour = Colour::Window;
    bool Blinks = true;
    bool Busy = true;
};

TStatusLook StatusLook(int32_t linkState, int32_t logIndex, int32_t logCapacity);

class TPoller {
public:
    TPoller(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
            const protocol::DateFormats& formats);

    // One Timer1 tick. While a download runs the status refresh keeps Get Logs usable as the
    // abort and Save locked; once it sends its requests, the poll and the watchdog rest.
    void Tick250(bool downloading, bool pollRests);
    // Every accepted reply, before its content is decoded.
    void ReplyNotification();
    // An accepted reply has been applied. When it answered the last of ten poll steps asked
    // and answered in a row with the line undisturbed meanwhile, the host hears that a whole
    // cycle was read: only such a cycle's values are sure to answer their own questions.
    // True when that completed such a cycle.
    bool ReplyApplied();
    // The question out went unanswered: the cycle being read is broken.
    void QuestionLost();
    // The next poll step starts a new cycle.
    void RestartCycle();
    void SetPacing(TRequestPacing pacing) { Pacing = pacing; }
    // A reply has been handled: paced by replies, a logger that has been found is asked its
    // next poll step at once instead of on the tick after next.
    void ReplyHandled(bool downloading);

private:
    void ShowPcTime();
    void RefreshStatus(bool downloading);
    void Watchdog();
    void PollStepOut();

    TLinkHost& Host;
    TLinkValues& Vals;
    TTransmitter& Trans;
    const protocol::DateFormats& Formats;
    Colour Shown = Colour::Window; // the status line's colour, so it can blink
    int32_t StepOut = -1;          // the poll step whose answer is awaited, -1 for none
    int32_t StepsInRow = 0;        // poll steps from step 0 on answered without a loss
    int DisturbancesSeen = 0;      // the transmitter's count when the last step was answered
    TRequestPacing Pacing = TRequestPacing::EveryTick;
};

} // namespace klink
