// Protection bands, the per-zone figures and where a log has gaps.
#include "logdata/LogStats.h"

#include "WrittenLogs.h"

#include <gtest/gtest.h>

namespace {

using logdata::TProtection;
using logdata::TProtectionBand;

protocol::LogRecord Entry(int index, int64_t minutes, std::array<int32_t, 6> values) {
    protocol::LogRecord r;
    r.Index = index;
    r.Minutes = minutes;
    r.Values = values;
    return r;
}

TEST(ProtectionBand, PresetsAgainstAgAgClAndZincSitTenFiftyApart) {
    using logdata::THullMaterial;
    using logdata::TReference;
    EXPECT_EQ(logdata::PresetBand(THullMaterial::Steel, TReference::AgAgCl),
              (TProtectionBand{-800, -1050}));
    EXPECT_EQ(logdata::PresetBand(THullMaterial::Aluminium, TReference::AgAgCl),
              (TProtectionBand{-900, -1100}));
    EXPECT_EQ(logdata::PresetBand(THullMaterial::FibreglassBronze, TReference::AgAgCl),
              (TProtectionBand{-550, -1100}));
    EXPECT_EQ(logdata::PresetBand(THullMaterial::Wood, TReference::AgAgCl),
              (TProtectionBand{-550, -600}));
    // Hydrogen embrittlement: high-strength steel stops short of mild steel's lower limit.
    EXPECT_GT(logdata::PresetBand(THullMaterial::HighStrengthSteel, TReference::AgAgCl).Lower,
              -1050);
    EXPECT_EQ(logdata::PresetBand(THullMaterial::Steel, TReference::Zinc),
              (TProtectionBand{250, 0}));
    EXPECT_EQ(logdata::PresetBand(THullMaterial::Aluminium, TReference::Zinc),
              (TProtectionBand{150, -50}));
    for (const logdata::TBandPreset& p : logdata::Presets()) {
        const THullMaterial m = p.Material;
        EXPECT_EQ(logdata::MaterialFromText(p.Name), m);
        EXPECT_EQ(
            logdata::PresetWithBand(logdata::PresetBand(m, TReference::Zinc), TReference::Zinc), m);
        EXPECT_GT(p.AgAgCl.Upper, p.AgAgCl.Lower);
        EXPECT_FALSE(p.Source.empty());
    }
    EXPECT_EQ(logdata::MaterialFromText("?"), std::nullopt);
    // Saved logs carry the logger's own word for bronze fittings.
    EXPECT_EQ(logdata::MaterialFromText("Bronze"), THullMaterial::FibreglassBronze);
    EXPECT_EQ(logdata::PresetWithBand({-800, -1060}, TReference::AgAgCl), std::nullopt);
    EXPECT_EQ(logdata::ReferenceFromText("Ag AgCl"), TReference::AgAgCl);
    EXPECT_EQ(logdata::ReferenceFromText("Zinc"), TReference::Zinc);
    EXPECT_EQ(logdata::ReferenceFromText(""), std::nullopt);
}

TEST(ProtectionBand, AnIntervalIsUnderProtectedIfAnyReadingIsAboveTheBand) {
    const TProtectionBand steel{-800, -1050};
    struct Case {
        int Min, Max;
        TProtection Expected;
    };
    const Case cases[] = {
        {-1050, -800, TProtection::Protected}, // both limits belong to the band
        {-900, -799, TProtection::Under},      {-1051, -900, TProtection::Over},
        {-1200, -700, TProtection::Under}, // spans the band: the risk to the hull wins
        {-600, -500, TProtection::Under},      {-1300, -1100, TProtection::Over},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(logdata::Classify(c.Min, c.Max, steel), c.Expected) << c.Min << " " << c.Max;
    }
}

TEST(ZoneSummary, FiguresAndSharesOfTimeForEachZone) {
    const TProtectionBand steel{-800, -1050};
    // Out of time order, as a wrapped cyclic log is.
    const std::vector<protocol::LogRecord> entries = {
        Entry(1, 3000, {-900, -850, -700, -650, 0, 0}),
        Entry(2, 1000, {-1100, -1000, -1000, -900, 0, 0}),
        Entry(3, 2000, {-850, -820, -950, -640, 0, 0}),
        Entry(4, 4000, {-990, -780, -1020, -1000, 0, 0}),
    };
    const auto z1 = logdata::SummariseZone(entries, 1, steel);
    EXPECT_EQ(z1.Count, 4u);
    EXPECT_EQ(z1.FirstMinutes, 1000);
    EXPECT_EQ(z1.LastMinutes, 4000);
    EXPECT_EQ(z1.LowestMin, -1100);
    EXPECT_EQ(z1.HighestMax, -780);
    EXPECT_DOUBLE_EQ(z1.Protected, 0.5);
    EXPECT_DOUBLE_EQ(z1.Over, 0.25);
    EXPECT_DOUBLE_EQ(z1.Under, 0.25);
    const auto z2 = logdata::SummariseZone(entries, 2, steel);
    EXPECT_EQ(z2.LowestMin, -1020);
    EXPECT_EQ(z2.HighestMax, -640);
    EXPECT_DOUBLE_EQ(z2.Under, 0.5);
    EXPECT_DOUBLE_EQ(z2.Protected, 0.5);
    EXPECT_DOUBLE_EQ(z2.Over, 0.0);
    const auto z3 = logdata::SummariseZone(entries, 3, steel);
    EXPECT_DOUBLE_EQ(z3.Under, 1.0);
    const auto none = logdata::SummariseZone({}, 1, steel);
    EXPECT_EQ(none.Count, 0u);
    EXPECT_DOUBLE_EQ(none.Under + none.Protected + none.Over, 0.0);
}

TEST(Gaps, AMissingIntervalOrAStopSplitsTheLogIntoRuns) {
    std::vector<protocol::LogRecord> entries = writtenlogs::MakeEntries(10, true);
    const auto order = logdata::TimeOrder(entries);
    using Runs = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(logdata::ContinuousRuns(entries, order, 15), (Runs{{0, 4}, {5, 9}}));
    // Without an interval the usual step (15 minutes) stands in for it.
    EXPECT_EQ(logdata::ContinuousRuns(entries, order, std::nullopt), (Runs{{0, 4}, {5, 9}}));
    // The header's interval is the setting at download, maybe changed since: the log's own
    // 15-minute steps decide, so neither 60 (no gap) nor 1 (a gap at every step) is taken.
    for (int headerInterval : {60, 1})
        EXPECT_EQ(logdata::ContinuousRuns(entries, order, headerInterval), (Runs{{0, 4}, {5, 9}}))
            << headerInterval;
    // Steps that all differ give no step of the log's own: the interval decides. Up to one and
    // a half intervals is still one piece.
    entries = {Entry(1, 100, {}), Entry(2, 122, {}), Entry(3, 145, {}), Entry(4, 146, {})};
    EXPECT_EQ(logdata::ContinuousRuns(entries, logdata::TimeOrder(entries), 15),
              (Runs{{0, 1}, {2, 3}}));
    EXPECT_TRUE(logdata::ContinuousRuns({}, {}, 15).empty());
}

TEST(Gaps, TimeOrderPutsAWrappedLogBackInOrder) {
    const std::vector<protocol::LogRecord> entries = {Entry(1, 300, {}), Entry(2, 315, {}),
                                                      Entry(3, 270, {}), Entry(4, 285, {})};
    EXPECT_EQ(logdata::TimeOrder(entries), (std::vector<std::size_t>{2, 3, 0, 1}));
}

} // namespace

namespace {

TEST(Envelope, EachSlotKeepsTheLowestMinAndHighestMaxOfItsEntries) {
    std::vector<protocol::LogRecord> entries;
    std::vector<double> times;
    for (int i = 0; i < 12; ++i) {
        entries.push_back(Entry(i + 1, 100 + i, {-900 + i, -850 + i, 0, 0, -1000, -990}));
        times.push_back(i * 10.0);
    }
    entries[5].Values[0] = -1500; // a spike down in the middle of a slot
    entries[6].Values[5] = -100;  // and one up in zone 3
    const auto order = logdata::TimeOrder(entries);
    using P = logdata::TEnvelopePoint;
    // Slots of 40 from 0: entries 0-3, 4-7, 8-11.
    EXPECT_EQ(logdata::ZoneEnvelope(entries, order, times, 0, 11, 1, 0, 110, 40),
              (std::vector<P>{{15, -900, -847}, {55, -1500, -843}, {95, -892, -839}}));
    const auto z3 = logdata::ZoneEnvelope(entries, order, times, 0, 11, 3, 0, 110, 40);
    ASSERT_EQ(z3.size(), 3u);
    EXPECT_EQ(z3[1].Max, -100);
    // A view from 35 to 62 takes entries 4 to 6 and one neighbour each side: 3 and 7.
    EXPECT_EQ(logdata::ZoneEnvelope(entries, order, times, 0, 11, 1, 35, 62, 10),
              (std::vector<P>{{30, -897, -847},
                              {40, -896, -846},
                              {50, -1500, -845},
                              {60, -894, -844},
                              {70, -893, -843}}));
    // Never past the run's own ends.
    EXPECT_EQ(logdata::ZoneEnvelope(entries, order, times, 2, 4, 1, -1000, 1000, 1).size(), 3u);
    EXPECT_TRUE(logdata::ZoneEnvelope(entries, order, times, 0, 11, 1, 0, 110, 0).empty());
}

} // namespace
