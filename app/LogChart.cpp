#include "app/LogChart.h"

#include "logdata/LogStats.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

double MsOf(int64_t Minutes) {
    const protocol::DateTime T = protocol::DateTimeFromMinutes(Minutes);
    return static_cast<double>(
        QDateTime(QDate(T.Year, T.Month, T.Day), QTime(T.Hour, T.Minute)).toMSecsSinceEpoch());
}

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
// fills are cheaper to draw than blended ones.
const TBandShade Shades[3] = {{"Over-protected", QColor(224, 230, 250)},
                              {"Protected", QColor(215, 240, 218)},
                              {"Under-protected", QColor(250, 221, 221)}};

QAreaSeries* NewArea(QLineSeries* Upper, QLineSeries* Lower, const QString& Name,
                     const QColor& Fill, const QColor& Edge) {
    auto* Area = new QAreaSeries(Upper, Lower);
    Area->setName(Name);
    Area->setBrush(Fill);
    if (Edge.alpha() == 0)
        Area->setPen(Qt::NoPen);
    else
        Area->setPen(QPen(Edge, 1));
    return Area;
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
    QDateTimeAxis* AxisX = nullptr;
    QValueAxis* AxisY = nullptr;
    // One zone's band over one run of the log without gaps.
    struct TPiece {
        QAreaSeries* Area;
        std::size_t From, To, MinAt;
    };
    std::vector<TPiece> Pieces;
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
        if (FOwner->OnPainted)
            FOwner->OnPainted();
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
    Chart->setMargins(QMargins(4, 4, 4, 4));
    FView = new TChartView(Chart, this);
    FView->setObjectName("ChartView");
    FView->AxisX = new QDateTimeAxis;
    FView->AxisX->setFormat("dd/MM/yy hh:mm");
    FView->AxisX->setTickCount(6);
    FView->AxisY = new QValueAxis;
    FView->AxisY->setTitleText("mV");
    FView->AxisY->setLabelFormat("%d");
    Chart->addAxis(FView->AxisX, Qt::AlignBottom);
    Chart->addAxis(FView->AxisY, Qt::AlignLeft);
    connect(FView->AxisX, &QDateTimeAxis::rangeChanged, this, [this] {
        if (!FFitting)
            Redecimate();
    });
    for (int I = 0; I < 3; ++I) {
        auto* Area = NewArea(new QLineSeries, new QLineSeries, Shades[I].Name, Shades[I].Fill,
                             Qt::transparent);
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
    QChart* Chart = FView->chart();
    for (const auto& Piece : FView->Pieces) {
        Chart->removeSeries(Piece.Area);
        delete Piece.Area;
    }
    FView->Pieces.clear();
    FEntries = Entries;
    FOrder = Order;
    FTimes.clear();
    FTimes.reserve(Order.size());
    for (std::size_t Position : Order)
        FTimes.push_back(MsOf((*Entries)[Position].Minutes));
    RebuildBands();
    Chart->setTitle(Title);
    FMinValue = FMaxValue = 0;
    bool First = true;
    for (const TChartZone& Zone : Zones) {
        const std::size_t MinAt = static_cast<std::size_t>(Zone.Zone - 1) * 2;
        for (const auto& [From, To] : Runs) {
            for (std::size_t I = From; I <= To; ++I) {
                const protocol::LogRecord& E = (*Entries)[Order[I]];
                FMinValue = First ? E.Values[MinAt] : std::min<double>(FMinValue, E.Values[MinAt]);
                FMaxValue =
                    First ? E.Values[MinAt + 1] : std::max<double>(FMaxValue, E.Values[MinAt + 1]);
                First = false;
            }
            QColor Fill = Zone.Colour;
            Fill.setAlpha(150);
            auto* Area =
                NewArea(new QLineSeries, new QLineSeries, Zone.Name, Fill, Zone.Colour.darker(130));
            Chart->addSeries(Area);
            Area->attachAxis(FView->AxisX);
            Area->attachAxis(FView->AxisY);
            // One legend entry per zone, however many pieces its band has.
            if (From != Runs.front().first)
                for (QLegendMarker* Marker : Chart->legend()->markers(Area))
                    Marker->setVisible(false);
            FView->Pieces.push_back({Area, From, To, MinAt});
        }
    }
    // A download adds entries while the user looks closer: keep the view the user chose.
    if (FUserView)
        Redecimate();
    else
        FitAxes();
}

void TLogChart::Redecimate() {
    // Entries replaced since they were drawn are not touched until SetEntries has them.
    if (FTimes.empty() || !FEntries || FEntries->size() < FOrder.size())
        return;
    const double Left = static_cast<double>(FView->AxisX->min().toMSecsSinceEpoch());
    const double Right = static_cast<double>(FView->AxisX->max().toMSecsSinceEpoch());
    const double Pixels = std::max(FView->chart()->plotArea().width(), 800.0);
    // A point per two pixels at most: the envelope of Min and Max per slot still covers every
    // entry, and a dense, jagged log paints in a fraction of the time of one point per pixel.
    const double Bucket = std::max((Right - Left) / Pixels * PixelsPerPoint, 1.0);
    // A run of one entry gets a sliver of width so that it still shows.
    const double Sliver = std::max(Bucket, 60000.0);
    for (const auto& Piece : FView->Pieces) {
        QList<QPointF> Tops, Bottoms;
        for (const logdata::TEnvelopePoint& P :
             logdata::ZoneEnvelope(*FEntries, FOrder, FTimes, Piece.From, Piece.To,
                                   static_cast<int>(Piece.MinAt / 2 + 1), Left, Right, Bucket)) {
            Tops.append({P.X, static_cast<double>(P.Max)});
            Bottoms.append({P.X, static_cast<double>(P.Min)});
        }
        if (Piece.From == Piece.To && !Tops.isEmpty()) {
            const double X = Tops[0].x();
            Tops = {{X - Sliver, Tops[0].y()}, {X + Sliver, Tops[0].y()}};
            Bottoms = {{X - Sliver, Bottoms[0].y()}, {X + Sliver, Bottoms[0].y()}};
        }
        Piece.Area->upperSeries()->replace(Tops);
        Piece.Area->lowerSeries()->replace(Bottoms);
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
    FView->AxisX->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(From)),
                           QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(To)));
    double Low = FMinValue, High = FMaxValue;
    if (FBand) {
        Low = FTimes.empty() ? FBand->Lower : std::min(Low, double(FBand->Lower));
        High = FTimes.empty() ? FBand->Upper : std::max(High, double(FBand->Upper));
    }
    FView->AxisY->setRange(std::floor(Low / 50.0) * 50.0 - 50.0,
                           std::ceil(High / 50.0) * 50.0 + 50.0);
    FView->AxisY->applyNiceNumbers();
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
    return MsOf(Minutes);
}

void TLogChart::ZoomToRange(double FromMs, double ToMs) {
    if (!(ToMs > FromMs))
        return;
    FUserView = true;
    FView->AxisX->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(FromMs)),
                           QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ToMs)));
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
    const double Min = static_cast<double>(FView->AxisX->min().toMSecsSinceEpoch());
    const double Max = static_cast<double>(FView->AxisX->max().toMSecsSinceEpoch());
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
    return {static_cast<double>(FView->AxisX->min().toMSecsSinceEpoch()),
            static_cast<double>(FView->AxisX->max().toMSecsSinceEpoch())};
}

} // namespace app
