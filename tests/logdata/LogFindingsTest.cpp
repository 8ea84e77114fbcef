// Odd entries of a log: the same entry again, two readings at one time, time stepping back, and
// time stamps still to come, each counted with the first few positions named.
#include "logdata/LogFindings.h"

#include "WrittenLogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using Entries = std::vector<protocol::LogRecord>;

// The PC's clock for every case: 01/08/26 00:00, a month after MakeEntries starts.
const int64_t Now = protocol::MinutesSinceEpoch({2026, 8, 1, 0, 0, 0, 0});

struct TOddCase {
    const char* Name;
    std::function<Entries()> Make;
    bool Cyclic;
    logdata::TLogFindings Expected;
};

void PrintTo(const TOddCase& c, std::ostream* os) {
    *os << c.Name;
}

logdata::TOddEntries Odd(std::size_t count, std::vector<std::size_t> first) {
    return {count, std::move(first)};
}

// A full cyclic log after its wrap: the newest entries first, then the oldest.
Entries Wrapped(int count, int newest) {
    Entries e = writtenlogs::MakeEntries(count);
    std::rotate(e.begin(), e.end() - newest, e.end());
    return e;
}

class OddEntries : public ::testing::TestWithParam<TOddCase> {};

TEST_P(OddEntries, AreCountedAndTheFirstNamedInFileOrder) {
    const TOddCase& c = GetParam();
    const logdata::TLogFindings found = logdata::FindOddEntries(c.Make(), c.Cyclic, Now);
    EXPECT_EQ(found.Repeated, c.Expected.Repeated);
    EXPECT_EQ(found.SameTime, c.Expected.SameTime);
    EXPECT_EQ(found.Backwards, c.Expected.Backwards);
    EXPECT_EQ(found.Future, c.Expected.Future);
    EXPECT_EQ(found.Any(), c.Expected.Any());
}

INSTANTIATE_TEST_SUITE_P(
    LogFindings, OddEntries,
    ::testing::Values(
        TOddCase{
            "ASoundLogRaisesAFinding", [] { return writtenlogs::MakeEntries(200); }, false, {}},
        TOddCase{"SixtyCopiesOfOneEntryPassUnnoticed",
                 [] {
                     Entries e = writtenlogs::MakeEntries(10);
                     e.insert(e.end(), 60, e[4]);
                     return e;
                 },
                 false,
                 // The first copy also steps back from entry 10; the rest stay at its time.
                 {Odd(60, {10, 11, 12, 13, 14}), {}, Odd(1, {10}), {}}},
        TOddCase{"TwoReadingsAtOneTimeTakenForOne",
                 [] {
                     Entries e = writtenlogs::MakeEntries(10);
                     e[6].Minutes = e[5].Minutes;
                     e.push_back(e[5]);
                     e.back().Values[0] += 1;
                     return e;
                 },
                 false,
                 {{}, Odd(2, {6, 10}), Odd(1, {10}), {}}},
        TOddCase{"AWrappedCyclicLogCalledOutOfOrder", [] { return Wrapped(100, 30); }, true, {}},
        TOddCase{"TheSameTurnInALogThatNeverWrapsIsForgiven",
                 [] { return Wrapped(100, 30); },
                 false,
                 {{}, {}, Odd(1, {30}), {}}},
        TOddCase{"ASwapBesideTheWrapIsForgivenWithIt",
                 [] {
                     Entries e = Wrapped(100, 30);
                     std::swap(e[50], e[51]);
                     std::swap(e[10], e[11]);
                     return e;
                 },
                 true,
                 {{}, {}, Odd(2, {11, 51}), {}}},
        TOddCase{"AYear2099StampIsTakenAsIs",
                 [] {
                     Entries e = writtenlogs::MakeEntries(10);
                     e[2].Minutes = protocol::MinutesSinceEpoch({2099, 1, 1, 0, 0, 0, 0});
                     return e;
                 },
                 false,
                 {{}, {}, Odd(1, {3}), Odd(1, {2})}},
        TOddCase{"AClockAFewHoursAheadIsCalledTheFuture",
                 [] {
                     Entries e = writtenlogs::MakeEntries(3);
                     e[1].Minutes = Now + 23 * 60;
                     e[2].Minutes = Now + 25 * 60;
                     return e;
                 },
                 false,
                 {{}, {}, {}, Odd(1, {2})}},
        TOddCase{"ManyStepsBackListedBeyondTheFirstFew",
                 [] {
                     Entries e = writtenlogs::MakeEntries(40);
                     std::reverse(e.begin(), e.end());
                     return e;
                 },
                 false,
                 {{}, {}, Odd(39, {1, 2, 3, 4, 5}), {}}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
