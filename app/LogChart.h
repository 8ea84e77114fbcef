// The potentials of a log against time, over the shaded protection band. Only LogChart.cpp
// knows the plotting library, so changing it touches that one file.
#pragma once

#include "logdata/ProtectionBand.h"
#include "protocol/LogRecord.h"

#include <QColor>
#include <QIODevice>
#include <QImage>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace app {

class TChartView;

struct TChartZone {
    int Zone = 1; // 1 to 3
    QString Name;
    QColor Colour;
};

class TLogChart : public QWidget {
public:
    explicit TLogChart(QWidget* Parent = nullptr);
    ~TLogChart() override;

    // Draws every zone as the band between each interval's Min and Max; the entries must stay
    // alive until the next SetEntries. Runs are [first, last] positions into Order (time order)
    // without a gap; between them the band breaks, so a gap stays empty.
    void SetEntries(const std::vector<protocol::LogRecord>* Entries,
                    const std::vector<std::size_t>& Order,
                    const std::vector<std::pair<std::size_t, std::size_t>>& Runs,
                    const std::vector<TChartZone>& Zones, const QString& Title);
    void SetBand(const logdata::TProtectionBand& Band);
    // Fits the whole log again; until the user zooms or pans, new entries refit it too.
    void ResetZoom();
    // Zooms about the middle; Factor > 1 zooms in.
    void Zoom(double Factor);
    // Moves the view by a share of the plot's width and height.
    void Pan(double RightShare, double UpShare);
    // Shows the times from FromMs to ToMs (units of ShownRange); the view then stays there as
    // after a zoom by hand.
    void ZoomToRange(double FromMs, double ToMs);
    // The x value (units of ShownRange and ZoomToRange) of a time stamp of the log, minutes
    // since 1970 as the logger's clock recorded it.
    static double TimeOf(int64_t Minutes);

    // The position into the entries nearest to the pointer, when it is over the plot.
    std::function<void(std::optional<std::size_t> Position)> OnHover;
    // The entry nearest to a point of the chart widget; nullopt outside the plot.
    std::optional<std::size_t> EntryAt(QPoint Pos) const;
    QPoint PointOf(std::size_t Position, int ZoneValue) const;

    // The chart as it is on screen, at the screen's pixel ratio.
    QImage Picture() const;
    // A landscape page with the title and the chart scaled to fit; false when nothing could be
    // drawn.
    bool WritePdf(QIODevice* Device, const QString& Title) const;
    // Called each time a frame of the chart has been drawn (the benchmark times the first).
    std::function<void()> OnPainted;
    // The x range shown, in milliseconds since 1970 of the logger's clock read as UTC (tests
    // follow zoom and pan).
    std::pair<double, double> ShownRange() const;
    // Series on the chart: the three bands and one per zone, however many gaps the log has.
    std::size_t SeriesCount() const;

private:
    friend class TChartView;
    void RebuildBands();
    void KeepZoneSeries(const std::vector<TChartZone>& Zones);
    std::vector<std::pair<std::size_t, std::size_t>> VisibleRuns(double Left, double Right,
                                                                 double Slot) const;
    // Fills the zones' bands for the time range on show.
    void Redecimate();
    void PlaceTimeTicks();
    void FitAxes();

    TChartView* FView = nullptr;
    const std::vector<protocol::LogRecord>* FEntries = nullptr;
    std::vector<double> FTimes; // by time order, TimeOf each entry
    std::vector<std::size_t> FOrder;
    std::vector<std::pair<std::size_t, std::size_t>> FRuns;
    std::vector<QColor> FZoneColours;
    std::optional<logdata::TProtectionBand> FBand;
    double FMinValue = 0, FMaxValue = 0;
    bool FFitting = false;
    // The user has zoomed or panned; new entries and a new band leave the view alone.
    bool FUserView = false;
};

} // namespace app
