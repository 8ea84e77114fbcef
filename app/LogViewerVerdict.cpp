// The viewer's verdict: a line in words per zone, the figures table and the spells outside the
// band, which zoom the chart to themselves when chosen.
#include "app/Contrast.h"
#include "app/LogChart.h"
#include "app/LogEntryModel.h"
#include "app/LogViewer.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace app {

namespace {

const QColor ProtectedColour(0, 130, 50), UnderColour(200, 0, 0), OverColour(30, 70, 200);

QString Percent(int Value) {
    return QString::number(Value) + " %";
}

QString SideText(logdata::TProtection Kind) {
    return Kind == logdata::TProtection::Under ? QStringLiteral("under-protected")
                                               : QStringLiteral("over-protected");
}

} // namespace

QString Millivolts(int Value) {
    return Value < 0 ? QChar(0x2212) + QString::number(-static_cast<qint64>(Value))
                     : QString::number(Value);
}

QString DurationText(int64_t Minutes) {
    const int64_t Days = Minutes / 1440, Hours = Minutes % 1440 / 60, Rest = Minutes % 60;
    if (Days > 0)
        return Hours > 0 ? QStringLiteral("%1 d %2 h").arg(Days).arg(Hours)
                         : QStringLiteral("%1 d").arg(Days);
    if (Hours > 0)
        return Rest > 0 ? QStringLiteral("%1 h %2 min").arg(Hours).arg(Rest)
                        : QStringLiteral("%1 h").arg(Hours);
    return QStringLiteral("%1 min").arg(Rest);
}

QString TLogViewer::VerdictText(int Zone) const {
    const auto Found = std::find_if(FVerdict.Zones.begin(), FVerdict.Zones.end(),
                                    [&](const logdata::TZoneVerdict& V) { return V.Zone == Zone; });
    const QString Name = ZoneName(Zone) + QStringLiteral(" \u2014 ");
    if (Found == FVerdict.Zones.end() || Found->Count == 0)
        return Name + "no readings";
    const logdata::TZoneVerdict& V = *Found;
    QString Text =
        Name + QStringLiteral("protected %1 of the time").arg(Percent(V.ProtectedPercent));
    if (V.UnderPercent > 0)
        Text += ", under-protected " + Percent(V.UnderPercent);
    if (V.OverPercent > 0)
        Text += ", over-protected " + Percent(V.OverPercent);
    if (!V.Worst)
        return Text;
    const logdata::TExcursion& W = V.Excursions[*V.Worst];
    const std::size_t N = V.Excursions.size();
    Text += QStringLiteral("; %1 excursion%2, worst %3 mV on %4")
                .arg(N)
                .arg(N == 1 ? "" : "s")
                .arg(Millivolts(W.Worst), TimeStampText(W.WorstMinutes));
    if (V.UnderPercent > 0 && V.OverPercent > 0)
        Text += " (" + SideText(W.Kind) + ")";
    return Text;
}

void TLogViewer::FillVerdictLines() {
    const QColor Window = palette().color(QPalette::Window);
    const std::size_t Zones = FVerdict.Zones.size();
    while (VerdictLines.size() > Zones) {
        delete VerdictLines.back();
        VerdictLines.pop_back();
    }
    while (VerdictLines.size() < Zones) {
        auto* Line = new QLabel(centralWidget());
        Line->setObjectName(QStringLiteral("VerdictLine%1").arg(VerdictLines.size() + 1));
        Line->setWordWrap(true);
        Line->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont Bold = Line->font();
        Bold.setBold(true);
        Line->setFont(Bold);
        FVerdictLayout->addWidget(Line);
        VerdictLines.push_back(Line);
    }
    for (std::size_t I = 0; I < Zones; ++I) {
        const logdata::TZoneVerdict& V = FVerdict.Zones[I];
        // The words say it all; the colour only repeats the worse side for a quick look.
        const QColor Colour = V.Count == 0 || V.ProtectedPercent == 100 ? ProtectedColour
                              : V.UnderPercent >= V.OverPercent         ? UnderColour
                                                                        : OverColour;
        QPalette P = VerdictLines[I]->palette();
        P.setColor(QPalette::WindowText, Readable(Colour, Window));
        VerdictLines[I]->setPalette(P);
        VerdictLines[I]->setText(VerdictText(V.Zone));
    }
}

void TLogViewer::FillSummaryTable() {
    // The table takes the window's palette, which may not have reached it yet.
    const QColor Base = palette().color(QPalette::Base);
    SummaryTable->setRowCount(static_cast<int>(FSummaries.size()));
    for (int Row = 0; Row < SummaryTable->rowCount(); ++Row) {
        const logdata::TZoneSummary& S = FSummaries[static_cast<std::size_t>(Row)];
        const bool Any = S.Count > 0;
        const auto Share = [&](double Fraction) {
            return Any ? QString::number(Fraction * 100.0, 'f', 1) + " %" : QStringLiteral("-");
        };
        const QString Cells[9] = {ZoneName(S.Zone),
                                  Share(S.Protected),
                                  Share(S.Under),
                                  Share(S.Over),
                                  Any ? QString::number(S.LowestMin) + " mV" : "-",
                                  Any ? QString::number(S.HighestMax) + " mV" : "-",
                                  Any ? TimeStampText(S.FirstMinutes) : "-",
                                  Any ? TimeStampText(S.LastMinutes) : "-",
                                  QString::number(S.Count)};
        for (int Column = 0; Column < 9; ++Column) {
            auto* Item = new QTableWidgetItem(Cells[Column]);
            if (Column == 0)
                Item->setForeground(Readable(ZoneColour(S.Zone), Base));
            SummaryTable->setItem(Row, Column, Item);
        }
    }
    SummaryTable->resizeColumnsToContents();
}

void TLogViewer::FillExcursionTable() {
    std::vector<const logdata::TExcursion*> All;
    for (const logdata::TZoneVerdict& V : FVerdict.Zones)
        for (const logdata::TExcursion& X : V.Excursions)
            All.push_back(&X);
    std::stable_sort(All.begin(), All.end(), [](const auto* A, const auto* B) {
        return A->FirstMinutes < B->FirstMinutes;
    });
    const QSignalBlocker Quiet(ExcursionTable);
    ExcursionTable->clearContents();
    ExcursionTable->setRowCount(static_cast<int>(All.size()));
    for (int Row = 0; Row < ExcursionTable->rowCount(); ++Row) {
        const logdata::TExcursion& X = *All[static_cast<std::size_t>(Row)];
        const QString Cells[6] = {ZoneName(X.Zone),
                                  SideText(X.Kind),
                                  TimeStampText(X.FirstMinutes),
                                  TimeStampText(X.LastMinutes),
                                  DurationText(X.DurationMinutes),
                                  Millivolts(X.Worst) + " mV on " + TimeStampText(X.WorstMinutes)};
        for (int Column = 0; Column < 6; ++Column) {
            auto* Item = new QTableWidgetItem(Cells[Column]);
            // Each cell carries its spell's span, whichever cell is clicked.
            Item->setData(Qt::UserRole, QVariant::fromValue(X.FirstMinutes));
            Item->setData(Qt::UserRole + 1, QVariant::fromValue(X.LastMinutes));
            ExcursionTable->setItem(Row, Column, Item);
        }
    }
    ExcursionTable->resizeColumnsToContents();
}

void TLogViewer::ExcursionChosen() {
    const QList<QTableWidgetItem*> Chosen = ExcursionTable->selectedItems();
    if (Chosen.isEmpty())
        return;
    const int64_t First = Chosen.front()->data(Qt::UserRole).toLongLong();
    const int64_t Last = Chosen.front()->data(Qt::UserRole + 1).toLongLong();
    // Some time either side shows how the zone went out and came back.
    const int64_t Margin =
        std::max<int64_t>(FVerdict.IntervalMinutes.value_or(15) * 2, (Last - First) / 4);
    Chart->ZoomToRange(TLogChart::TimeOf(First - Margin), TLogChart::TimeOf(Last + Margin));
}

} // namespace app
