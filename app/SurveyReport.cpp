// The survey report: the logger, the band and its source, the period and the clocks, the
// chart, the verdict per zone, the spells outside the band and the surveyor's notes, on pages
// of the locale's paper size.
#include "app/LogChart.h"
#include "app/LogEntryModel.h"
#include "app/LogViewer.h"

#include <QDateTime>
#include <QLocale>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QTextDocument>
#include <QUrl>

namespace app {

namespace {

// Tables past this many spells make the report long without telling the surveyor more.
constexpr std::size_t MostSpellsListed = 40;

QString Latin1(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size())).trimmed();
}

QString Cell(const QString& Text) {
    return "<td>" + Text.toHtmlEscaped() + "</td>";
}

QString Row(const QString& Label, const QString& Value) {
    return "<tr><th align=left>" + Label.toHtmlEscaped() + "</th>" + Cell(Value) + "</tr>";
}

QString Known(const std::string& Text) {
    const QString Value = Latin1(Text);
    return Value.isEmpty() || Value == "?" ? QStringLiteral("not recorded") : Value;
}

QString ClockText(const std::optional<int64_t>& Ahead) {
    if (!Ahead)
        return QStringLiteral("not known (a time is missing from the log)");
    if (*Ahead == 0)
        return QStringLiteral("the logger's clock agreed with the PC's to the minute");
    return QStringLiteral("the logger's clock was %1 %2 the PC's")
        .arg(DurationText(std::abs(*Ahead)), *Ahead > 0 ? "ahead of" : "behind");
}

} // namespace

QPageSize::PageSizeId PaperOf(const QLocale& Locale) {
    return Locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                   : QPageSize::A4;
}

bool TLogViewer::DrawSurveyReport(QPagedPaintDevice& Device, const TSurveyDetails& Details) const {
    const logdata::THeaderValues& H = FLog.Header;
    const logdata::TProtectionBand B = Band();
    const auto Preset = logdata::PresetWithBand(B, FReference);
    const QString Reference = QString::fromLatin1(logdata::ReferenceText(FReference).data());
    QString Html = "<html><body>";
    Html += "<h2>Hull protection survey" +
            (Details.Vessel.isEmpty() ? QString() : " \u2014 " + Details.Vessel.toHtmlEscaped()) +
            "</h2><table cellspacing=0 cellpadding=3>";
    Html += Row("Vessel", Details.Vessel.isEmpty() ? QStringLiteral("not given") : Details.Vessel);
    Html += Row("Logger", Known(H.KestroName));
    Html += Row("Serial number", Known(H.SerialNo));
    Html += Row("Logger software", Known(H.SoftwareVersion));
    Html += Row("Hull material (logger setting)", Known(H.Material));
    Html += Row(
        "Reference electrode",
        Reference + (FReferenceKnown ? QString() : QStringLiteral(" (assumed)")) +
            (FReference == logdata::TReference::Zinc
                 ? QStringLiteral(", readings good to \u00b1%1 mV").arg(logdata::ZincUncertaintyMv)
                 : QString()));
    Html += Row("Protection band",
                QStringLiteral("%1 to %2 mV against %3 (%4)")
                    .arg(Millivolts(B.Upper), Millivolts(B.Lower), Reference,
                         Preset ? QString::fromLatin1(logdata::PresetFor(*Preset).Name.data())
                                : QStringLiteral("custom limits")));
    Html += Row("Source of the limits",
                Preset ? QString::fromLatin1(logdata::PresetFor(*Preset).Source.data())
                       : QStringLiteral("set by hand for this log"));
    Html +=
        Row("Period", FLog.Entries.empty()
                          ? QStringLiteral("no entries")
                          : QStringLiteral("%1 to %2 (%3)")
                                .arg(TimeStampText(FVerdict.FirstMinutes),
                                     TimeStampText(FVerdict.LastMinutes),
                                     DurationText(FVerdict.LastMinutes - FVerdict.FirstMinutes)));
    Html += Row("Log interval", Known(H.LogInterval));
    Html +=
        Row("Entries",
            QStringLiteral("%1 (logger count %2)").arg(FLog.Entries.size()).arg(Known(H.LogCount)));
    Html += Row("Gaps in the log", QString::number(FVerdict.Gaps.size()));
    Html += Row("Clocks at download", QStringLiteral("logger %1, PC %2: %3")
                                          .arg(Known(H.KestroTime), Known(H.PcTime),
                                               ClockText(FVerdict.ClockAheadMinutes)));
    Html += Row("Time stamps", QStringLiteral("the logger's clock as recorded, without "
                                              "daylight-saving changes"));
    const auto [ShownFrom, ShownTo] = Chart->ShownRange();
    const auto OnLoggerClock = [](double Ms) {
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(Ms), Qt::UTC)
            .toString("dd/MM/yy HH:mm");
    };
    Html += "</table><p><img src=\"quorva:chart\" width=500><br><small>" +
            QStringLiteral("The chart as the viewer showed it: %1 to %2 on the logger's clock.")
                .arg(OnLoggerClock(ShownFrom), OnLoggerClock(ShownTo))
                .toHtmlEscaped() +
            "</small></p>";
    Html += "<h3>Verdict per zone</h3><table border=1 cellspacing=0 cellpadding=3><tr>"
            "<th>Zone</th><th>Protected</th><th>Under</th><th>Over</th><th>Lowest Min</th>"
            "<th>Highest Max</th><th>Excursions</th></tr>";
    for (const logdata::TZoneVerdict& V : FVerdict.Zones) {
        const logdata::TZoneSummary& S = FSummaries[static_cast<std::size_t>(V.Zone - 1)];
        const bool Any = V.Count > 0;
        Html += "<tr>" + Cell(ZoneName(V.Zone)) +
                Cell(Any ? QString::number(V.ProtectedPercent) + " %" : "-") +
                Cell(Any ? QString::number(V.UnderPercent) + " %" : "-") +
                Cell(Any ? QString::number(V.OverPercent) + " %" : "-") +
                Cell(Any ? Millivolts(S.LowestMin) + " mV" : "-") +
                Cell(Any ? Millivolts(S.HighestMax) + " mV" : "-") +
                Cell(QString::number(V.Excursions.size())) + "</tr>";
    }
    Html += "</table>";
    for (const logdata::TZoneVerdict& V : FVerdict.Zones)
        Html += "<p>" + VerdictText(V.Zone).toHtmlEscaped() + "</p>";
    std::vector<const logdata::TExcursion*> Spells;
    for (const logdata::TZoneVerdict& V : FVerdict.Zones)
        for (const logdata::TExcursion& X : V.Excursions)
            Spells.push_back(&X);
    if (!Spells.empty()) {
        std::stable_sort(Spells.begin(), Spells.end(), [](const auto* A, const auto* B) {
            return A->FirstMinutes < B->FirstMinutes;
        });
        Html += "<h3>Excursions</h3><table border=1 cellspacing=0 cellpadding=3><tr><th>Zone</th>"
                "<th>Side</th><th>Start</th><th>End</th><th>Duration</th><th>Worst</th></tr>";
        for (std::size_t I = 0; I < std::min(Spells.size(), MostSpellsListed); ++I) {
            const logdata::TExcursion& X = *Spells[I];
            Html += "<tr>" + Cell(ZoneName(X.Zone)) +
                    Cell(X.Kind == logdata::TProtection::Under ? "under" : "over") +
                    Cell(TimeStampText(X.FirstMinutes)) + Cell(TimeStampText(X.LastMinutes)) +
                    Cell(DurationText(X.DurationMinutes)) +
                    Cell(Millivolts(X.Worst) + " mV on " + TimeStampText(X.WorstMinutes)) + "</tr>";
        }
        Html += "</table>";
        if (Spells.size() > MostSpellsListed)
            Html += QStringLiteral("<p>... and %1 more, listed in the viewer.</p>")
                        .arg(Spells.size() - MostSpellsListed);
    }
    Html += "<h3>Notes</h3><p>" +
            (Details.Notes.isEmpty() ? QStringLiteral("None.")
                                     : Details.Notes.toHtmlEscaped().replace('\n', "<br>")) +
            "</p>";
    const QString Version = QStringLiteral(QUORVA_VERSION);
    Html += "<p><small>Written " +
            QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toHtmlEscaped() +
            " by Quorva" + (Version.isEmpty() ? QString() : " " + Version.toHtmlEscaped()) +
            " from " + FSource.toHtmlEscaped() + "</small></p></body></html>";

    QTextDocument Document;
    Document.addResource(QTextDocument::ImageResource, QUrl("quorva:chart"), Chart->Picture());
    Document.setHtml(Html);
    Device.setPageSize(QPageSize(PaperOf(QLocale())));
    Device.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    Document.print(&Device);
    return true;
}

} // namespace app
