#include "app/LogViewer.h"

#include "app/LogChart.h"
#include "app/LogEntryModel.h"
#include "app/LogLineFeed.h"

#include <QComboBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace app {

namespace {

const QColor ZoneColours[3] = {QColor(0, 90, 200), QColor(225, 120, 0), QColor(140, 40, 160)};

QString Latin1(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

QString Share(double Fraction, std::size_t Count) {
    return Count == 0 ? QStringLiteral("-") : QString::number(Fraction * 100.0, 'f', 1) + " %";
}

int PresetIndex(logdata::THullMaterial Material) {
    const auto& List = logdata::Presets();
    return static_cast<int>(std::find_if(List.begin(), List.end(),
                                         [&](const auto& P) { return P.Material == Material; }) -
                            List.begin());
}

} // namespace

TLogViewer::TLogViewer(QWidget* Parent) : QWidget(Parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("LogViewer");
    resize(1000, 720);
    FRedraw = new QTimer(this);
    FRedraw->setSingleShot(true);
    // A download adds an entry every tenth of a second; the chart catches up a few times a second.
    FRedraw->setInterval(250);
    CreateControls();
    BindControls();
}

TLogViewer::~TLogViewer() = default;

void TLogViewer::CreateControls() {
    auto* Layout = new QVBoxLayout(this);
    Info = new QLabel(this);
    Info->setObjectName("Info");
    Info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Layout->addWidget(Info);
    Layout->addWidget(CreateBandRow());
    Notes = new QLabel(this);
    Notes->setObjectName("Notes");
    Notes->setWordWrap(true);
    Notes->setStyleSheet("color: #a00000");
    Notes->hide();
    Layout->addWidget(Notes);
    auto* Split = new QSplitter(Qt::Vertical, this);
    Chart = new TLogChart(Split);
    Chart->setMinimumHeight(260);
    auto* Lower = new QSplitter(Qt::Horizontal, Split);
    SummaryTable = new QTableWidget(0, 9, Lower);
    SummaryTable->setObjectName("SummaryTable");
    SummaryTable->setHorizontalHeaderLabels({"Zone", "First", "Last", "Entries", "Lowest Min",
                                             "Highest Max", "Under", "Protected", "Over"});
    SummaryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SummaryTable->verticalHeader()->hide();
    EntryTable = new QTableView(Lower);
    EntryTable->setObjectName("EntryTable");
    FModel = new TLogEntryModel(this);
    EntryTable->setModel(FModel);
    EntryTable->verticalHeader()->hide();
    EntryTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Fixed widths: measuring 4090 rows to fit them would cost more than drawing the chart.
    const int Reading = fontMetrics().horizontalAdvance("-00000") + 12;
    EntryTable->horizontalHeader()->setDefaultSectionSize(Reading);
    EntryTable->setColumnWidth(1, fontMetrics().horizontalAdvance("00/00/00 00:00") + 12);
    Lower->setStretchFactor(0, 3);
    Lower->setStretchFactor(1, 2);
    Split->setStretchFactor(0, 3);
    Split->setStretchFactor(1, 2);
    Split->setSizes({430, 220});
    Lower->setSizes({520, 440});
    Layout->addWidget(Split, 1);
    HoverLine = new QLabel(this);
    HoverLine->setObjectName("HoverLine");
    Layout->addWidget(HoverLine);
}

QWidget* TLogViewer::CreateBandRow() {
    auto* Row = new QWidget(this);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(new QLabel("Protection band for", Row));
    MaterialPreset = new QComboBox(Row);
    MaterialPreset->setObjectName("MaterialPreset");
    for (const logdata::TBandPreset& P : logdata::Presets())
        MaterialPreset->addItem(Latin1(std::string(P.Name)));
    Layout->addWidget(MaterialPreset);
    Layout->addWidget(new QLabel("from", Row));
    UpperLimit = new QSpinBox(Row);
    LowerLimit = new QSpinBox(Row);
    UpperLimit->setObjectName("UpperLimit");
    LowerLimit->setObjectName("LowerLimit");
    for (QSpinBox* Box : {UpperLimit, LowerLimit}) {
        Box->setRange(-3000, 3000);
        Box->setSingleStep(10);
        Box->setSuffix(" mV");
    }
    UpperLimit->setToolTip("Less negative than this the hull is under-protected");
    LowerLimit->setToolTip("More negative than this the hull is over-protected");
    Layout->addWidget(UpperLimit);
    Layout->addWidget(new QLabel("to", Row));
    Layout->addWidget(LowerLimit);
    ReferenceLabel = new QLabel(Row);
    ReferenceLabel->setObjectName("ReferenceLabel");
    Layout->addWidget(ReferenceLabel);
    Layout->addStretch(1);
    ResetZoomButton = new QPushButton("Reset &Zoom", Row);
    CsvButton = new QPushButton("Export &CSV...", Row);
    PngButton = new QPushButton("Save &PNG...", Row);
    PdfButton = new QPushButton("Save P&DF...", Row);
    ResetZoomButton->setToolTip("Wheel or drag a box to zoom; drag with the right button or use "
                                "the arrow keys to pan");
    for (QPushButton* B : {ResetZoomButton, CsvButton, PngButton, PdfButton})
        Layout->addWidget(B);
    return Row;
}

void TLogViewer::BindControls() {
    connect(FRedraw, &QTimer::timeout, this, [this] { Refresh(); });
    connect(MaterialPreset, &QComboBox::activated, this, [this](int Item) { ApplyPreset(Item); });
    for (QSpinBox* Box : {UpperLimit, LowerLimit})
        connect(Box, &QSpinBox::valueChanged, this, [this] { LimitsEdited(); });
    connect(ResetZoomButton, &QPushButton::clicked, this, [this] { Chart->ResetZoom(); });
    connect(CsvButton, &QPushButton::clicked, this,
            [this] { ExportClick("Export CSV", ".csv", &TLogViewer::ExportCsv); });
    connect(PngButton, &QPushButton::clicked, this,
            [this] { ExportClick("Save Chart as PNG", ".png", &TLogViewer::ExportPng); });
    connect(PdfButton, &QPushButton::clicked, this,
            [this] { ExportClick("Save Chart as PDF", ".pdf", &TLogViewer::ExportPdf); });
    Chart->OnHover = [this](std::optional<std::size_t> Position) {
        const QString Text = Position ? EntryText(*Position) : QString();
        HoverLine->setText(Text);
        if (Text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), Text, Chart);
    };
}

void TLogViewer::SetLog(logdata::TParsedLog Log, const QString& Source) {
    FLog = std::move(Log);
    FSource = Source;
    setWindowTitle("Log Chart - " + Source);
    const auto Material = logdata::MaterialFromText(FLog.Header.Material);
    const auto Reference = logdata::ReferenceFromText(FLog.Header.RefType);
    FReference = Reference.value_or(logdata::TReference::AgAgCl);
    const logdata::THullMaterial Chosen = Material.value_or(logdata::THullMaterial::Steel);
    MaterialPreset->setCurrentIndex(PresetIndex(Chosen));
    ReferenceLabel->setText(
        "mV against " + Latin1(std::string(logdata::ReferenceText(FReference))) +
        (Reference ? QString() : QStringLiteral(" (assumed: the log does not say)")));
    FSettingLimits = true;
    const logdata::TProtectionBand Band =
        logdata::BandForHeader(FLog.Header.Material, FLog.Header.RefType);
    UpperLimit->setValue(Band.Upper);
    LowerLimit->setValue(Band.Lower);
    FSettingLimits = false;
    const logdata::THeaderValues& H = FLog.Header;
    Info->setText(
        QStringLiteral("%1   serial %2   hull %3%4   reference %5   interval %6   %7 zone(s)")
            .arg(Latin1(H.KestroName).trimmed(), Latin1(H.SerialNo).trimmed(),
                 Latin1(H.Material.empty() ? "?" : H.Material),
                 Material ? QString() : QStringLiteral(" (band of steel assumed)"),
                 Latin1(H.RefType.empty() ? "?" : H.RefType),
                 Latin1(H.LogInterval.empty() ? "?" : H.LogInterval))
            .arg(FLog.ZoneCount()));
    // The chart still holds the entries it drew last: give it the new ones before the band.
    FModel->Reset(&FLog.Entries);
    Refresh();
    Chart->SetBand(Band);
    ShowNotes();
}

logdata::TProtectionBand TLogViewer::Band() const {
    // The limits are taken whichever way round the user typed them.
    const int A = UpperLimit->value(), B = LowerLimit->value();
    return {std::max(A, B), std::min(A, B)};
}

void TLogViewer::SetBand(const logdata::TProtectionBand& Band) {
    FSettingLimits = true;
    UpperLimit->setValue(Band.Upper);
    LowerLimit->setValue(Band.Lower);
    FSettingLimits = false;
    LimitsEdited();
}

void TLogViewer::ApplyPreset(int Item) {
    if (Item < 0 || Item >= static_cast<int>(logdata::Presets().size()))
        return;
    SetBand(logdata::PresetBand(logdata::Presets()[static_cast<std::size_t>(Item)].Material,
                                FReference));
}

void TLogViewer::LimitsEdited() {
    if (FSettingLimits)
        return;
    Chart->SetBand(Band());
    RefreshFigures();
}

void TLogViewer::Refresh() {
    FRedraw->stop();
    const std::vector<std::size_t> Order = logdata::TimeOrder(FLog.Entries);
    const auto Runs = logdata::ContinuousRuns(FLog.Entries, Order, FLog.IntervalMinutes());
    std::vector<TChartZone> Zones;
    for (int Zone = 1; Zone <= FLog.ZoneCount(); ++Zone)
        Zones.push_back({Zone, Latin1(FLog.ZoneDescription(Zone)), ZoneColours[Zone - 1]});
    Chart->SetEntries(&FLog.Entries, Order, Runs, Zones, Latin1(FLog.Header.KestroName).trimmed());
    RefreshFigures();
}

void TLogViewer::RefreshFigures() {
    FSummaries.clear();
    const logdata::TProtectionBand B = Band();
    for (int Zone = 1; Zone <= FLog.ZoneCount(); ++Zone)
        FSummaries.push_back(logdata::SummariseZone(FLog.Entries, Zone, B));
    FillSummaryTable();
}

void TLogViewer::FillSummaryTable() {
    SummaryTable->setRowCount(static_cast<int>(FSummaries.size()));
    for (int Row = 0; Row < SummaryTable->rowCount(); ++Row) {
        const logdata::TZoneSummary& S = FSummaries[static_cast<std::size_t>(Row)];
        const bool Any = S.Count > 0;
        const QString Cells[9] = {Latin1(FLog.ZoneDescription(S.Zone)),
                                  Any ? TimeStampText(S.FirstMinutes) : "-",
                                  Any ? TimeStampText(S.LastMinutes) : "-",
                                  QString::number(S.Count),
                                  Any ? QString::number(S.LowestMin) + " mV" : "-",
                                  Any ? QString::number(S.HighestMax) + " mV" : "-",
                                  Share(S.Under, S.Count),
                                  Share(S.Protected, S.Count),
                                  Share(S.Over, S.Count)};
        for (int Column = 0; Column < 9; ++Column) {
            auto* Item = new QTableWidgetItem(Cells[Column]);
            if (Column == 0)
                Item->setForeground(ZoneColours[S.Zone - 1]);
            SummaryTable->setItem(Row, Column, Item);
        }
    }
    SummaryTable->resizeColumnsToContents();
}

void TLogViewer::ShowNotes() {
    QStringList Lines;
    for (const logdata::TLogProblem& P : FLog.Problems)
        Lines << QStringLiteral("Line %1 skipped: %2").arg(P.Line).arg(Latin1(P.Message));
    if (Lines.isEmpty()) {
        Notes->hide();
        return;
    }
    const int Shown = 4;
    QString Text = QStringList(Lines.mid(0, Shown)).join("\n");
    if (Lines.size() > Shown)
        Text += QStringLiteral("\n... and %1 more lines skipped").arg(Lines.size() - Shown);
    Notes->setText(Text);
    Notes->setToolTip(Lines.join("\n"));
    Notes->show();
}

QString TLogViewer::EntryText(std::size_t Position) const {
    if (Position >= FLog.Entries.size())
        return {};
    const protocol::LogRecord& E = FLog.Entries[Position];
    static const char* const Names[] = {"Min1", "Max1", "Min2", "Max2", "Min3", "Max3"};
    QString Text = QStringLiteral("Entry %1   %2  ").arg(E.Index).arg(TimeStampText(E.Minutes));
    for (std::size_t I = 0; I < 6; ++I)
        Text += QStringLiteral("  %1 %2").arg(QLatin1String(Names[I])).arg(E.Values[I]);
    return Text;
}

void TLogViewer::Follow(TLogLineFeed* Feed, std::function<logdata::THeaderValues()> HeaderNow) {
    FHeaderNow = std::move(HeaderNow);
    connect(Feed, &TLogLineFeed::LineAdded, this,
            [this](const QByteArray& Line) { AddLiveLine(Line); });
    connect(Feed, &TLogLineFeed::DisplayCleared, this, [this] { StartOver(); });
}

void TLogViewer::AddLiveLine(const QByteArray& Line) {
    std::string Why;
    const auto Record =
        logdata::ParseLogLine(std::string_view(Line.constData(), Line.size()), &Why);
    if (!Record || Record->Index == 0)
        return;
    FLog.Entries.push_back(*Record);
    FModel->Appended();
    EntryTable->scrollToBottom();
    if (!FRedraw->isActive())
        FRedraw->start();
}

void TLogViewer::StartOver() {
    logdata::TParsedLog Fresh;
    Fresh.IsLog = true;
    Fresh.Header = FHeaderNow ? FHeaderNow() : FLog.Header;
    SetLog(std::move(Fresh), FSource);
}

} // namespace app
