// The log viewer: is the hull protected? A log's potentials against the protection band, the
// verdict per zone in words, its spells outside the band, its figures and entries, and exports
// as CSV, PNG, PDF and a survey report.
#pragma once

#include "logdata/LogParse.h"
#include "logdata/LogStats.h"
#include "logdata/LogVerdict.h"

#include <QMainWindow>
#include <QPageSize>
#include <functional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;
class QVBoxLayout;

namespace app {

class TLogChart;
class TLogEntryModel;
class TLogLineFeed;

// What the surveyor adds to a report before it is written.
struct TSurveyDetails {
    QString Vessel;
    QString Notes;
};

// Files larger than this are refused unread.
inline constexpr qint64 MaxLogFileBytes = 64 * 1024 * 1024;

class TLogViewer : public QMainWindow {
    Q_OBJECT
public:
    // A window of its own that closes with its parent and is deleted when closed.
    explicit TLogViewer(QWidget* Parent = nullptr);
    ~TLogViewer() override;

    // Reads a log file; a file that cannot be read or is no log gives one error box and
    // nullptr. Lines that were skipped, and odd entries, are named in the window's notes.
    static TLogViewer* OpenSavedLog(const QString& Path, QWidget* Parent);

    // Source names where the log came from, for the title and the export names.
    void SetLog(logdata::TParsedLog Log, const QString& Source);
    // Follows the "Log Data" page: each new line is added, a cleared page starts over with the
    // header that HeaderNow gives at that moment.
    void Follow(TLogLineFeed* Feed, std::function<logdata::THeaderValues()> HeaderNow);

    const logdata::TParsedLog& Log() const { return FLog; }
    logdata::TProtectionBand Band() const;
    // Changes the limits for this log only; nothing is stored.
    void SetBand(const logdata::TProtectionBand& Band);
    const std::vector<logdata::TZoneSummary>& Summaries() const { return FSummaries; }
    const logdata::TLogVerdict& Verdict() const { return FVerdict; }
    // The zone's description, or "Zone 2" when the logger has none.
    QString ZoneName(int Zone) const;
    // "Keel — protected 97 % of the time; 3 excursions, worst −742 mV on 04/11/26 16:27".
    QString VerdictText(int Zone) const;
    // "Entry 12  14/08/26 05:20   Keel −852 to −844 mV ..." for the entry at Position.
    QString EntryText(std::size_t Position) const;

    // The exports write a whole file or nothing; a failure is shown in the error box.
    bool ExportCsv(const QString& Path);
    bool ExportPng(const QString& Path);
    bool ExportPdf(const QString& Path);
    bool WriteSurveyReport(const QString& Path, const TSurveyDetails& Details);
    // The report's pages on any paged device: a PDF writer or a printer.
    bool DrawSurveyReport(QPagedPaintDevice& Device, const TSurveyDetails& Details) const;
    // Stand-in for the save dialog (tests answer without a loop); "" cancels.
    std::function<QString(const QString& Caption, const QString& Suggested)> SaveNameHook;
    // Stand-in for the report's details dialog; false cancels.
    std::function<bool(TSurveyDetails&)> DetailsHook;
    // Stand-in for the print dialog; false cancels.
    std::function<bool(QPrinter&)> PrintHook;

    TLogChart* Chart = nullptr;
    QLabel* Info = nullptr;
    QLabel* Notes = nullptr;
    QLabel* HoverLine = nullptr;
    QComboBox* MaterialPreset = nullptr;
    QLabel* ReferenceLabel = nullptr;
    QLabel* BandSource = nullptr;
    QSpinBox *UpperLimit = nullptr, *LowerLimit = nullptr;
    QPushButton *ResetZoomButton = nullptr, *CsvButton = nullptr, *PngButton = nullptr,
                *PdfButton = nullptr, *ReportButton = nullptr;
    std::vector<QLabel*> VerdictLines;
    QTabWidget* Tables = nullptr;
    QTableWidget* SummaryTable = nullptr;
    QTableWidget* ExcursionTable = nullptr;
    QTableView* EntryTable = nullptr;
    QAction *ReportAction = nullptr, *PrintAction = nullptr, *CsvAction = nullptr,
            *CloseAction = nullptr;

protected:
    void changeEvent(QEvent* Event) override;

private:
    void CreateControls();
    QWidget* CreateBandRow();
    QWidget* CreateButtonRow();
    void CreateTables(QWidget* Parent);
    void CreateMenu();
    void BindControls();
    // Everything drawn from the log again: chart, figures, table.
    void Refresh();
    void RefreshFigures();
    void FillSummaryTable();
    void FillVerdictLines();
    void FillExcursionTable();
    void ExcursionChosen();
    // Text colours again for the palette in use.
    void ApplyColours();
    void ShowNotes();
    void ApplyPreset(int Item);
    void LimitsEdited();
    void ShowPresetOfBand();
    void AddLiveLine(const QByteArray& Line);
    void StartOver();
    // Asks for a file name to export to, with the suffix added when the user left it out.
    QString AskExportName(const QString& Caption, const QString& Suffix);
    void ExportClick(const QString& Caption, const QString& Suffix,
                     bool (TLogViewer::*Export)(const QString&));
    bool AskDetails(TSurveyDetails& Details);
    void ReportClick();
    void PrintClick();
    QColor ZoneColour(int Zone) const;

    logdata::TParsedLog FLog;
    QString FSource;
    logdata::TReference FReference = logdata::TReference::AgAgCl;
    bool FReferenceKnown = false;
    std::vector<logdata::TZoneSummary> FSummaries;
    logdata::TLogVerdict FVerdict;
    TLogEntryModel* FModel = nullptr;
    QTimer* FRedraw = nullptr;
    QVBoxLayout* FVerdictLayout = nullptr;
    std::function<logdata::THeaderValues()> FHeaderNow;
    bool FSettingLimits = false;
    TSurveyDetails FDetails; // kept between reports of the same window
};

// "−742" with a true minus sign, as text for people.
QString Millivolts(int Value);
// "3 h 15 min", "2 d 4 h", "45 min".
QString DurationText(int64_t Minutes);
// The report's paper: Letter where the locale measures in US units, A4 elsewhere.
QPageSize::PageSizeId PaperOf(const QLocale& Locale);

} // namespace app
