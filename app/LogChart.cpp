#include "app/LogChart.h"

#include "app/ChartTicks.h"
#include "logdata/LogStats.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <memory>

namespace app {

namespace {

constexpr double PixelsPerPoint = 2.0;

// An empty log (a page waiting for its download) is shown around the present.
double NowMs() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch());
}

// The band reaches well beyond the log so that panning rarely shows its ends; much further
// and the plot's coordinates overflow when it draws.
constexpr double BandReachSpans = 20.0;
constexpr double BandReachMv = 5000.0;

struct TBandShade {
    const char* Name;
    QColor Fill;
};
// Opaque tints on the white plot: nothing lies behind the band to show through, and opaque
// fills are cheaper to draw than blended ones. Over-protection is amber, not blue, so that no
// zone's colour is lost inside a band.
const TBandShade Shades[3] = {{"Over-protected", QColor(250, 236, 200)},
                              {"Protected", QColor(212, 240, 214)},
                              {"Under-protected", QColor(250, 218, 218)}};

constexpr int TimeTickCount = 6;
constexpr int ValueTickCount = 8;

// A zone's fill: its colour, see-through, and for the second and third zone a pattern of its
// own, so the zones are told apart in grey print and by eyes that do not tell the colours.
QBrush ZoneBrush(const QColor& Colour, int Zone) {
    QPixmap Tile(8, 8);
    QColor Fill = Colour;
    Fill.setAlpha(120);
    Tile.fill(Fill);
    QPainter Painter(&Tile);
    Painter.setPen(QPen(Colour.darker(160), 1));
    if (Zone == 2) {
        Painter.drawLine(0, 7, 7, 0);
    } else if (Zone == 3) {
        Painter.drawLine(0, 3, 7, 3);
        Painter.drawLine(3, 0, 3, 7);
    }
    return QBrush(Tile);
}

// The area owns its two lines, so deleting the area leaves nothing behind.
QAreaSeries* NewArea(const QString& Name) {
    auto* Area = new QAreaSeries;
    Area->setUpperSeries(new QLineSeries(Area));
    Area->setLowerSeries(new QLineSeries(Area));
    Area->setName(Name);
    return Area;
}

void DeleteArea(QChart* Chart, QAreaSeries* Area) {
    Chart->removeSeries(Area);
    // Whoever holds the lines now, they go with their area.
    std::unique_ptr<QLineSeries> Upper(Area->upperSeries()), Lower(Area->lowerSeries());
    for (QLineSeries* Line : {Upper.get(), Lower.get()})
        if (Line)
            Line->setParent(nullptr);
    delete Area;
}

} // namespace

// Wheel and rubber band zoom, right or middle drag and the arrow keys pan, Home resets.
class TChartView : public QChartView {
public:
    TChartView(QChart* Chart, TLogChart* Owner) : QChartView(Chart), FOwner(Owner) {
        setRubberBand(QChartView::RectangleRubberBand);
        setMouseTracking(true);
        viewport()->setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setRenderHint(QPainter::Antialiasing, false);
    }
    QCategoryAxis* AxisX = nullptr;
    QValueAxis* AxisY = nullptr;
    // One band per zone, kept from draw to draw; a gap is a break inside it.
    struct TZoneBand {
        QAreaSeries* Area;
        int Zone;
    };
    std::vector<TZoneBand> Zones;
    QAreaSeries* Bands[3] = {};

protected:
    void wheelEvent(QWheelEvent* Event) override {
        const QRectF Area = chart()->plotArea();
        const double Factor = Event->angleDelta().y() > 0 ? 1.25 : 0.8;
        const double X = std::clamp(Event->position().x(), Area.left(), Area.right());
        // Only time is zoomed: the point under the pointer stays where it is.
        chart()->zoomIn(QRectF(X - (X - Area.left()) / Factor, Area.top(), Area.width() / Factor,
                               Area.height()));
        Event->accept();
    }
    void mousePressEvent(QMouseEvent* Event) override {
        if (Event->button() == Qt::MiddleButton || Event->button() == Qt::RightButton) {
            FPanFrom = Event->position();
            FPanning = true;
            Event->accept();
            return;
        }
        QChartView::mousePressEvent(Event);
    }
    void mouseMoveEvent(QMouseEvent* Event) override {
        if (FPanning) {
            const QPointF Step = Event->position() - FPanFrom;
            FOwner->FUserView = true;
            chart()->scroll(-Step.x(), Step.y());
            FPanFrom = Event->position();
            Event->accept();
            return;
        }
        if (FOwner->OnHover)
            FOwner->OnHover(FOwner->EntryAt(mapTo(FOwner, Event->position().toPoint())));
        QChartView::mouseMoveEvent(Event);
    }
    void mouseReleaseEvent(QMouseEvent* Event) override {
        if (FPanning &&
            (Event->button() == Qt::MiddleButton || Event->button() == Qt::RightButton)) {
            FPanning = false;
            Event->accept();
            return;
        }
        const auto Before = FOwner->ShownRange();
        QChartView::mouseReleaseEvent(Event);
        // A rubber band drawn and let go has zoomed.
        if (FOwner->ShownRange() != Before)
            FOwner->FUserView = true;
    }
    void keyPressEvent(QKeyEvent* Event) override {
        switch (Event->key()) {
        case Qt::Key_Left:
            FOwner->Pan(-0.1, 0);
            break;
        case Qt::Key_Right:
            FOwner->Pan(0.1, 0);
            break;
        case Qt::Key_Up:
            FOwner->Pan(0, 0.1);
            break;
        case Qt::Key_Down:
            FOwner->Pan(0, -0.1);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal: // "+" without Shift on most keyboards
            FOwner->Zoom(1.25);
            break;
        case Qt::Key_Minus:
            FOwner->Zoom(0.8);
            break;
        case Qt::Key_Home:
            FOwner->ResetZoom();
            break;
        default:
            QChartView::keyPressEvent(Event);
        }
    }
    void paintEvent(QPaintEvent* Event) override {
        QChartView::paintEvent(Event);
        // The keys act on the chart only while it has the focus: say so where it is seen.
        if (hasFocus()) {
            QPainter Painter(viewport());
            Painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
            Painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
        }
        if (FOwner->OnPainted)
            FOwner->OnPainted();
    }
    void focusInEvent(QFocusEvent* Event) override {
        QChartView::focusInEvent(Event);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* Event) override {
        QChartView::focusOutEvent(Event);
        viewport()->update();
    }
    void leaveEvent(QEvent* Event) override {
        if (FOwner->OnHover)
            FOwner->OnHover(std::nullopt);
        QChartView::leaveEvent(Event);
    }

private:
    TLogChart* FOwner;
    QPointF FPanFrom;
    bool FPanning = false;
};

TLogChart::TLogChart(QWidget* Parent) : QWidget(Parent) {
    auto* Chart = new QChart;
    Chart->legend()->setAlignment(Qt::AlignBottom);
    Chart->legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
    QFont LegendFont = Chart->legend()->font();
    LegendFont.setPointSizeF(LegendFont.pointSizeF() * 1.15);
    Chart->legend()->setFont(LegendFont);
    Chart->setMargins(QMargins(4, 4, 4, 4));
    FView = new TChartView(Chart, this);
    FView->setObjectName("ChartView");
    FView->AxisX = new QCategoryAxis;
    FView->AxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    FView->AxisX->setTitleText("Logger's clock (as recorded)");
    FView->AxisY = new QValueAxis;
    FView->AxisY->setTitleText("mV");
    FView->AxisY->setLabelFormat("%d");
    FView->AxisY->setTickType(QValueAxis::TicksDynamic);
    FView->AxisY->setTickAnchor(0);
    Chart->addAxis(FView->AxisX, Qt::AlignBottom);
    Chart->addAxis(FView->AxisY, Qt::AlignLeft);
    connect(FView->AxisX, &QValueAxis::rangeChanged, this, [this] {
        PlaceTimeTicks();
        if (!FFitting)
            Redecimate();
    });
    connect(FView->AxisY, &QValueAxis::rangeChanged, this, [this](qreal Min, qreal Max) {
        FView->AxisY->setTickInterval(RoundStep(Max - Min, ValueTickCount));
    });
    for (int I = 0; I < 3; ++I) {
        auto* Area = NewArea(Shades[I].Name);
        Area->setBrush(Shades[I].Fill);
        // The band's edges are its limits; the edge also frames the tint in the legend.
        Area->setPen(QPen(Shades[I].Fill.darker(135), 1));
        Chart->addSeries(Area);
        Area->attachAxis(FView->AxisX);
        Area->attachAxis(FView->AxisY);
        Area->setVisible(false);
        FView->Bands[I] = Area;
    }
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(FView);
}

TLogChart::~TLogChart() = default;

void TLogChart::SetEntries(const std::vector<protocol::LogRecord>* Entries,
                           const std::vector<std::size_t>& Order,
                           const std::vector<std::pair<std::size_t, std::size_t>>& Runs,
                           const std::vector<TChartZone>& Zones, const QString& Title) {
    FEntries = Entries;
    FOrder = Order;
    FRuns = Runs;
    FTimes.clear();
    FTimes.reserve(Order.size());
    for (std::size_t Position : Order)
        FTimes.push_back(TimeOf((*Entries)[Position].Minutes));
    RebuildBands();
    FView->chart()->setTitle(Title);
    FMinValue = FMaxValue = 0;
    bool First = true;
    for (const TChartZone& Zone : Zones) {
        const std::size_t MinAt = static_cast<std::size_t>(Zone.Zone - 1) * 2;
        for (std::size_t Position : Order) {
            const protocol::LogRecord& E = (*Entries)[Position];
            FMinValue = First ? E.Values[MinAt] : std::min<double>(FMinValue, E.Values[MinAt]);
            FMaxValue =
                First ? E.Values[MinAt + 1] : std::max<double>(FMaxValue, E.Values[MinAt + 1]);
            First = false;
        }
    }
    KeepZoneSeries(Zones);
    // A download adds entries while the user looks closer: keep the view the user chose.
    if (FUserView)
        Redecimate();
    else
        FitAxes();
}

// The zones' series stay from draw to draw; only a zone that goes takes its series along.
void TLogChart::KeepZoneSeries(const std::vector<TChartZone>& Zones) {
    QChart* Chart = FView->chart();
    while (FView->Zones.size() > Zones.size()) {
        DeleteArea(Chart, FView->Zones.back().Area);
        FView->Zones.pop_back();
    }
    for (std::size_t I = 0; I < Zones.size(); ++I) {
        const TChartZone& Zone = Zones[I];
        if (I == FView->Zones.size()) {
            auto* Area = NewArea(Zone.Name);
            // Outlines would run along the breaks at the gaps; the fill alone draws the band.
            Area->setPen(Qt::NoPen);
            Chart->addSeries(Area);
            Area->attachAxis(FView->AxisX);
            Area->attachAxis(FView->AxisY);
            FView->Zones.push_back({Area, 0});
        }
        TChartView::TZoneBand& Band = FView->Zones[I];
        if (Band.Area->name() != Zone.Name)
            Band.Area->setName(Zone.Name);
        if (Band.Zone != Zone.Zone || FZoneColours.size() <= I || FZoneColours[I] != Zone.Colour) {
            Band.Area->setBrush(ZoneBrush(Zone.Colour, Zone.Zone));
            for (QLegendMarker* Marker : Chart->legend()->markers(Band.Area))
                Marker->setPen(QPen(Zone.Colour.darker(130), 1));
        }
        Band.Zone = Zone.Zone;
    }
    FZoneColours.clear();
    for (const TChartZone& Zone : Zones)
        FZoneColours.push_back(Zone.Colour);
}

std::size_t TLogChart::SeriesCount() const {
    return static_cast<std::size_t>(FView->chart()->series().size());
}

// Neighbouring runs whose gap is narrower than a slot are drawn as one: the gap would not show,
// and a log with a gap between every entry still costs a point per slot.
std::vector<std::pair<std::size_t, std::size_t>> TLogChart::VisibleRuns(double Left, double Right,
                                                                        double Slot) const {
    std::vector<std::pair<std::size_t, std::size_t>> Shown;
    for (const auto& [From, To] : FRuns) {
        if (To >= FTimes.size() || From > To)
            continue;
        if (FTimes[To] < Left - Slot || FTimes[From] > Right + Slot)
            continue;
        if (!Shown.empty() && FTimes[From] - FTimes[Shown.back().second] < Slot)
            Shown.back().second = To;
        else
            Shown.emplace_back(From, To);
    }
    return Shown;
}

void TLogChart::Redecimate() {
    // Entries replaced since they were drawn are not touched until SetEntries has them.
    if (!FEntries || FEntries->size() < FOrder.size())
        return;
    const double Left = FView->AxisX->min();
    const double Right = FView->AxisX->max();
    const double Pixels = std::max(FView->chart()->plotArea().width(), 800.0);
    // A point per two pixels at most: the envelope of Min and Max per slot still covers every
    // entry, and a dense, jagged log paints in a fraction of the time of one point per pixel.
    const double Bucket = std::max((Right - Left) / Pixels * PixelsPerPoint, 1.0);
    // A run that fits into one slot gets a sliver of width so that it still shows.
    const double Sliver = std::max(Bucket, 60000.0) / 2;
    const auto Runs = VisibleRuns(Left, Right, Bucket);
    for (const TChartView::TZoneBand& Band : FView->Zones) {
        QList<QPointF> Tops, Bottoms;
        for (const auto& [From, To] : Runs) {
            const auto Points = logdata::ZoneEnvelope(*FEntries, FOrder, FTimes, From, To,
                                                      Band.Zone, Left, Right, Bucket);
            if (Points.empty())
                continue;
            const double FirstX = Points.size() == 1 ? Points[0].X - Sliver : Points[0].X;
            // A break: the band closes to nothing across the gap, and nothing is filled there.
            if (!Tops.isEmpty()) {
                const double Y = Bottoms.back().y();
                for (QList<QPointF>* Side : {&Tops, &Bottoms}) {
                    Side->append({Side->back().x(), Y});
                    Side->append({FirstX, Y});
                }
            }
            for (const logdata::TEnvelopePoint& P : Points) {
                if (Points.size() == 1) {
                    for (double X : {P.X - Sliver, P.X + Sliver}) {
                        Tops.append({X, static_cast<double>(P.Max)});
                        Bottoms.append({X, static_cast<double>(P.Min)});
                    }
                    continue;
                }
                Tops.append({P.X, static_cast<double>(P.Max)});
                Bottoms.append({P.X, static_cast<double>(P.Min)});
            }
        }
        Band.Area->upperSeries()->replace(Tops);
        Band.Area->lowerSeries()->replace(Bottoms);
    }
}

void TLogChart::SetBand(const logdata::TProtectionBand& Band) {
    FBand = Band;
    RebuildBands();
    if (!FUserView)
        FitAxes();
}

void TLogChart::RebuildBands() {
    if (!FBand)
        return;
    const double From = FTimes.empty() ? NowMs() : FTimes.front();
    const double To = FTimes.empty() ? From : FTimes.back();
    const double Reach = std::max(To - From, 86400000.0) * BandReachSpans;
    const double Left = From - Reach, Right = To + Reach;
    const double Edges[4] = {-BandReachMv, static_cast<double>(FBand->Lower),
                             static_cast<double>(FBand->Upper), BandReachMv};
    for (int I = 0; I < 3; ++I) {
        QAreaSeries* Area = FView->Bands[I];
        Area->lowerSeries()->replace(QList<QPointF>{{Left, Edges[I]}, {Right, Edges[I]}});
        Area->upperSeries()->replace(QList<QPointF>{{Left, Edges[I + 1]}, {Right, Edges[I + 1]}});
        Area->setVisible(true);
    }
}

void TLogChart::PlaceTimeTicks() {
    QCategoryAxis* Axis = FView->AxisX;
    for (const QString& Label : Axis->categoriesLabels())
        Axis->remove(Label);
    Axis->setStartValue(Axis->min());
    for (const TTimeTick& Tick : TimeTicks(Axis->min(), Axis->max(), TimeTickCount))
        Axis->append(Tick.Label, Tick.Ms);
}

void TLogChart::FitAxes() {
    // Setting the ranges would fill the bands once per change; once at the end is enough.
    FFitting = true;
    FView->chart()->zoomReset();
    double From = FTimes.empty() ? NowMs() : FTimes.front();
    double To = FTimes.empty() ? From : FTimes.back();
    if (To - From < 3600000.0) {
        From -= 1800000.0;
        To += 1800000.0;
    }
    FView->AxisX->setRange(From, To);
    double Low = FMinValue, High = FMaxValue;
    if (FBand) {
        Low = FTimes.empty() ? FBand->Lower : std::min(Low, double(FBand->Lower));
        High = FTimes.empty() ? FBand->Upper : std::max(High, double(FBand->Upper));
    }
    FView->AxisY->setRange(std::floor(Low / 50.0) * 50.0 - 50.0,
                           std::ceil(High / 50.0) * 50.0 + 50.0);
    FFitting = false;
    Redecimate();
}

void TLogChart::ResetZoom() {
    FUserView = false;
    FitAxes();
}

void TLogChart::Zoom(double Factor) {
    FUserView = true;
    FView->chart()->zoom(Factor);
}

double TLogChart::TimeOf(int64_t Minutes) {
    return LoggerClockMs(Minutes);
}

void TLogChart::ZoomToRange(double FromMs, double ToMs) {
    if (!(ToMs > FromMs))
        return;
    FUserView = true;
    FView->AxisX->setRange(FromMs, ToMs);
}

void TLogChart::Pan(double RightShare, double UpShare) {
    FUserView = true;
    const QRectF Area = FView->chart()->plotArea();
    FView->chart()->scroll(Area.width() * RightShare, Area.height() * UpShare);
}

std::optional<std::size_t> TLogChart::EntryAt(QPoint Pos) const {
    const QRectF Area = FView->chart()->plotArea();
    const QPointF InChart =
        FView->chart()->mapFromScene(FView->mapToScene(FView->mapFrom(this, Pos)));
    if (FTimes.empty() || !Area.contains(InChart))
        return std::nullopt;
    const double Min = FView->AxisX->min();
    const double Max = FView->AxisX->max();
    const double Time = Min + (InChart.x() - Area.left()) / Area.width() * (Max - Min);
    auto After = std::lower_bound(FTimes.begin(), FTimes.end(), Time);
    std::size_t I = static_cast<std::size_t>(After - FTimes.begin());
    if (I == FTimes.size() || (I > 0 && Time - FTimes[I - 1] < *After - Time))
        --I;
    return FOrder[I];
}

QPoint TLogChart::PointOf(std::size_t Position, int ZoneValue) const {
    const auto At = std::find(FOrder.begin(), FOrder.end(), Position);
    if (At == FOrder.end())
        return {};
    const double Time = FTimes[static_cast<std::size_t>(At - FOrder.begin())];
    const QPointF InChart =
        FView->chart()->mapToPosition(QPointF(Time, ZoneValue), FView->Bands[1]);
    return FView->mapTo(this, FView->mapFromScene(FView->chart()->mapToScene(InChart)));
}

QImage TLogChart::Picture() const {
    return FView->grab().toImage();
}

bool TLogChart::WritePdf(QIODevice* Device, const QString& Title) const {
    QPdfWriter Writer(Device);
    Writer.setTitle(Title);
    Writer.setCreator(QStringLiteral("Quorva"));
    Writer.setPageOrientation(QPageLayout::Landscape);
    Writer.setResolution(150);
    QPainter Painter;
    if (!Painter.begin(&Writer))
        return false;
    const QRect Page = Painter.viewport();
    const QRect Heading(Page.left(), Page.top(), Page.width(), Page.height() / 14);
    Painter.drawText(Heading, Qt::AlignLeft | Qt::AlignVCenter, Title);
    const QRect Plot(Page.left(), Heading.bottom(), Page.width(), Page.height() - Heading.height());
    FView->render(&Painter, Plot, FView->viewport()->rect(), Qt::KeepAspectRatio);
    return Painter.end();
}

std::pair<double, double> TLogChart::ShownRange() const {
    return {FView->AxisX->min(), FView->AxisX->max()};
}

} // namespace app
