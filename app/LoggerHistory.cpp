#include "app/LoggerHistory.h"

#include "app/LogViewer.h"
#include "app/Shell.h"

#include "archive/HistoryFigures.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>

namespace app {

namespace {

// Logger times as the logger keeps them: its own civil time, no zone.
QString LoggerTime(const std::optional<int64_t>& Minutes) {
    if (!Minutes)
        return "-";
    const protocol::DateTime T = protocol::DateTimeFromMinutes(*Minutes);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", T.Year, T.Month, T.Day, T.Hour, T.Minute);
}

QString Share(double Fraction) {
    return QString::number(Fraction * 100.0, 'f', 1) + " %";
}

QTableWidget* NewTable(const QStringList& Labels, QWidget* Parent) {
    auto* Table = new QTableWidget(0, static_cast<int>(Labels.size()), Parent);
    Table->setHorizontalHeaderLabels(Labels);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    return Table;
}

void SetRow(QTableWidget* Table, int Row, const QStringList& Texts) {
    for (int Column = 0; Column < Texts.size(); ++Column)
        Table->setItem(Row, Column, new QTableWidgetItem(Texts[Column]));
}

} // namespace

TLoggerHistory::TLoggerHistory(const std::string& ArchivePath, QWidget* Parent)
    : QDialog(Parent), FPath(ArchivePath) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("LoggerHistory");
    setWindowTitle("Logger History");
    resize(820, 560);
    CreateControls();
    FillLoggers();
}

void TLoggerHistory::CreateControls() {
    auto* Layout = new QVBoxLayout(this);
    Note = new QLabel(this);
    Note->setObjectName("Note");
    Note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Note->setWordWrap(true);
    Layout->addWidget(Note);
    LoggerTable =
        NewTable({"Serial", "Name", "First Entry", "Last Entry", "Entries", "Downloads"}, this);
    LoggerTable->setObjectName("LoggerTable");
    Layout->addWidget(LoggerTable, 2);
    Layout->addWidget(new QLabel("Figures per month of the selected logger:", this));
    MonthTable = NewTable(
        {"Month", "Zone", "Entries", "Lowest Min", "Highest Max", "Under", "Protected", "Over"},
        this);
    MonthTable->setObjectName("MonthTable");
    Layout->addWidget(MonthTable, 3);
    auto* Buttons = new QHBoxLayout;
    OpenButton = new QPushButton("&Open in Log Viewer", this);
    OpenButton->setObjectName("OpenButton");
    OpenButton->setEnabled(false);
    auto* Close = new QPushButton("&Close", this);
    Buttons->addStretch();
    Buttons->addWidget(OpenButton);
    Buttons->addWidget(Close);
    Layout->addLayout(Buttons);
    connect(Close, &QPushButton::clicked, this, &QDialog::close);
    connect(OpenButton, &QPushButton::clicked, this, [this] {
        if (TLogViewer* Viewer = OpenViewer())
            Viewer->show();
    });
    connect(LoggerTable, &QTableWidget::itemSelectionChanged, this, [this] { SelectLogger(); });
    connect(LoggerTable, &QTableWidget::cellDoubleClicked, this, [this] {
        if (TLogViewer* Viewer = OpenViewer())
            Viewer->show();
    });
}

void TLoggerHistory::FillLoggers() {
    const QString Where = QString::fromStdString(FPath);
    FExists = std::filesystem::exists(FPath);
    if (FExists) {
        const archive::TArchive Archive(FPath, false);
        FLoggers = Archive.Loggers();
    }
    Note->setText(FLoggers.empty() ? "No download has been archived yet in " + Where + "."
                                   : "Every download is kept in " + Where + ".");
    LoggerTable->setRowCount(static_cast<int>(FLoggers.size()));
    for (int Row = 0; Row < LoggerTable->rowCount(); ++Row) {
        const archive::TLoggerSummary& L = FLoggers[static_cast<std::size_t>(Row)];
        SetRow(LoggerTable, Row,
               {L.Key.Serial.empty() ? "-" : FromStd(L.Key.Serial), FromStd(L.Key.Name),
                LoggerTime(L.FirstMinutes), LoggerTime(L.LastMinutes), QString::number(L.Entries),
                QString::number(L.Downloads)});
    }
    LoggerTable->resizeColumnsToContents();
}

void TLoggerHistory::SelectLogger() {
    const int Row = LoggerTable->currentRow();
    OpenButton->setEnabled(Row >= 0);
    if (Row < 0 || Row >= static_cast<int>(FLoggers.size()))
        return;
    const int64_t Id = FLoggers[static_cast<std::size_t>(Row)].Id;
    if (Id == FLoadedId)
        return;
    FLog = archive::TArchive(FPath, false).History(Id);
    FLoadedId = Id;
    FillMonths();
}

void TLoggerHistory::FillMonths() {
    const logdata::TProtectionBand Band =
        logdata::BandForHeader(FLog.Header.Material, FLog.Header.RefType);
    const auto Months = archive::MonthlyFigures(FLog, Band);
    MonthTable->setRowCount(0);
    for (const archive::TMonthFigures& M : Months) {
        for (const logdata::TZoneSummary& Z : M.Zones) {
            const int Row = MonthTable->rowCount();
            MonthTable->insertRow(Row);
            SetRow(MonthTable, Row,
                   {QString::asprintf("%04d-%02d", M.Year, M.Month),
                    FromStd(FLog.ZoneDescription(Z.Zone)), QString::number(Z.Count),
                    QString::number(Z.LowestMin), QString::number(Z.HighestMax), Share(Z.Under),
                    Share(Z.Protected), Share(Z.Over)});
        }
    }
    MonthTable->resizeColumnsToContents();
}

TLogViewer* TLoggerHistory::OpenViewer() {
    SelectLogger();
    const int Row = LoggerTable->currentRow();
    if (Row < 0 || Row >= static_cast<int>(FLoggers.size()))
        return nullptr;
    const archive::TLoggerSummary& L = FLoggers[static_cast<std::size_t>(Row)];
    // The viewer belongs to the main window, so it outlives this list.
    auto* Viewer = new TLogViewer(parentWidget());
    const std::string Who = L.Key.Serial.empty() ? L.Key.Name : L.Key.Serial;
    Viewer->SetLog(FLog, "history of " + FromStd(Who));
    return Viewer;
}

} // namespace app
