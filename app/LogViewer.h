// The log viewer: is the hull protected? A log's potentials against the protection band, its
// figures per zone, its entries, and exports as CSV, PNG and PDF.
#pragma once

#include "logdata/LogParse.h"
#include "logdata/LogStats.h"

#include <QWidget>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTimer;

namespace app {

class TLogChart;
class TLogEntryModel;
class TLogLineFeed;

class TLogViewer : public QWidget {
    Q_OBJECT
public:
    // A window of its own that closes with its parent and is deleted when closed.
    explicit TLogViewer(QWidget* Parent = nullptr);
    ~TLogViewer() override;

    // Reads a log file; a file that cannot be read or is no log gives one error box and
    // nullptr. Lines that were skipped are listed in the window.
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
    // "Entry 12  14/08/26 05:20  Min1 -120 Max1 35 ..." for the entry at Position.
    QString EntryText(std::size_t Position) const;

    // The exports write a whole file or nothing; a failure is shown in the error box.
    bool ExportCsv(const QString& Path);
    bool ExportPng(const QString& Path);
    bool ExportPdf(const QString& Path);
    // Stand-in for the save dialog (tests answer without a loop); "" cancels.
    std::function<QString(const QString& Caption, const QString& Suggested)> SaveNameHook;

    TLogChart* Chart = nullptr;
    QLabel* Info = nullptr;
    QLabel* Notes = nullptr;
    QLabel* HoverLine = nullptr;
    QComboBox* MaterialPreset = nullptr;
    QLabel* ReferenceLabel = nullptr;
    QSpinBox *UpperLimit = nullptr, *LowerLimit = nullptr;
    QPushButton *ResetZoomButton = nullptr, *CsvButton = nullptr, *PngButton = nullptr,
                *PdfButton = nullptr;
    QTableWidget* SummaryTable = nullptr;
    QTableView* EntryTable = nullptr;

private:
    void CreateControls();
    QWidget* CreateBandRow();
    void BindControls();
    // Everything drawn from the log again: chart, figures, table.
    void Refresh();
    void RefreshFigures();
    void FillSummaryTable();
    void ShowNotes();
    void ApplyPreset(int Item);
    void LimitsEdited();
    void AddLiveLine(const QByteArray& Line);
    void StartOver();
    // Asks for a file name to export to, with the suffix added when the user left it out.
    QString AskExportName(const QString& Caption, const QString& Suffix);
    void ExportClick(const QString& Caption, const QString& Suffix,
                     bool (TLogViewer::*Export)(const QString&));

    logdata::TParsedLog FLog;
    QString FSource;
    logdata::TReference FReference = logdata::TReference::AgAgCl;
    std::vector<logdata::TZoneSummary> FSummaries;
    TLogEntryModel* FModel = nullptr;
    QTimer* FRedraw = nullptr;
    std::function<logdata::THeaderValues()> FHeaderNow;
    bool FSettingLimits = false;
};

} // namespace app
