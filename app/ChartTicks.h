// Where the chart's axes put their ticks: round numbers of millivolts, and whole days, hours
// or minutes of the logger's clock. No plotting library here, so the rules can be tried alone.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace app {

// The x value of a time stamp (minutes since the logger's epoch): milliseconds since 1970 with
// the logger's clock read as UTC, so that one fixed offset holds for the whole log and a
// change of the PC's daylight-saving time neither folds nor stretches it.
double LoggerClockMs(int64_t Minutes);

struct TTimeTick {
    double Ms = 0;
    QString Label; // the logger's clock at the tick
};

// Ticks on whole days, hours or minutes between FromMs and ToMs, at most MaxTicks of them
// (at least one step's worth apart); empty for an empty span.
std::vector<TTimeTick> TimeTicks(double FromMs, double ToMs, int MaxTicks);

// A step of 1, 2 or 5 times a power of ten (never under 1) that puts at most MaxTicks ticks
// on Span.
double RoundStep(double Span, int MaxTicks);

} // namespace app
