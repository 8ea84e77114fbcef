#include "app/ChartTicks.h"

#include <QDateTime>
#include <QTimeZone>
#include <cmath>

namespace app {

namespace {

constexpr double MinuteMs = 60000.0, HourMs = 60 * MinuteMs, DayMs = 24 * HourMs;

// Steps that fall on whole minutes, hours and days; past a year, whole multiples of 364 days.
constexpr double TimeSteps[] = {
    MinuteMs,   2 * MinuteMs, 5 * MinuteMs, 10 * MinuteMs, 15 * MinuteMs, 30 * MinuteMs, HourMs,
    2 * HourMs, 3 * HourMs,   6 * HourMs,   12 * HourMs,   DayMs,         2 * DayMs,     7 * DayMs,
    14 * DayMs, 28 * DayMs,   91 * DayMs,   182 * DayMs,   364 * DayMs};

double TimeStep(double Span, int MaxTicks) {
    for (double Step : TimeSteps)
        if (Span / Step <= MaxTicks)
            return Step;
    const double Year = TimeSteps[std::size(TimeSteps) - 1];
    return Year * std::ceil(Span / Year / MaxTicks);
}

} // namespace

double LoggerClockMs(int64_t Minutes) {
    static const double EpochMs = static_cast<double>(
        QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch());
    return EpochMs + static_cast<double>(Minutes) * MinuteMs;
}

std::vector<TTimeTick> TimeTicks(double FromMs, double ToMs, int MaxTicks) {
    std::vector<TTimeTick> Ticks;
    if (!(ToMs > FromMs) || MaxTicks < 1)
        return Ticks;
    const double Step = TimeStep(ToMs - FromMs, MaxTicks);
    const QString Format =
        Step >= DayMs ? QStringLiteral("dd/MM/yy") : QStringLiteral("dd/MM/yy hh:mm");
    for (double Ms = std::ceil(FromMs / Step) * Step; Ms <= ToMs; Ms += Step)
        Ticks.push_back(
            {Ms, QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(Ms), QTimeZone::utc())
                     .toString(Format)});
    return Ticks;
}

double RoundStep(double Span, int MaxTicks) {
    if (!(Span > 0) || MaxTicks < 1)
        return 1;
    const double Raw = Span / MaxTicks;
    const double Power = std::pow(10.0, std::floor(std::log10(Raw)));
    for (double Mantissa : {1.0, 2.0, 5.0, 10.0})
        if (Mantissa * Power >= Raw)
            return std::max(1.0, Mantissa * Power);
    return std::max(1.0, 10 * Power);
}

} // namespace app
