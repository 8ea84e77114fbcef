#include "app/LogViewer.h"

#include "app/Contrast.h"
#include "app/LogChart.h"
#include "app/LogEntryModel.h"
#include "app/LogLineFeed.h"

#include "logdata/LogFindings.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace app {

namespace {

// Apart from the chart's shades of blue, green and red behind them.
const QColor ZoneColours[3] = {QColor(40, 40, 40), QColor(215, 110, 0), QColor(160, 0, 160)};
const QColor NoteColour(160, 0, 0);

QString Latin1(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

int PresetIndex(logdata::THullMaterial Material) {
    const auto& List = logdata::Presets();
    return static_cast<int>(std::find_if(List.begin(), List.end(),
                                         [&](const auto& P) { return P.Material == Material; }) -
                            List.begin());
}

int CustomIndex() {
    return static_cast<int>(logdata::Presets().size());
}

} // namespace

TLogViewer::TLogViewer(QWidget* Parent) : QMainWindow(Parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("LogViewer");
    resize(1000, 720);
    FRedraw = new QTimer(this);
    FRedraw->setSingleShot(true);
    // A download adds an entry every tenth of a second; the chart catches up a few times a second.
    FRedraw->setInterval(250);
    CreateControls();
    CreateMenu();
    BindControls();
    ApplyColours();
}

TLogViewer::~TLogViewer() = default;

void TLogViewer::CreateControls() {
    auto* Central = new QWidget(this);
    setCentralWidget(Central);
    auto* Layout = new QVBoxLayout(Central);
    Info = new QLabel(Central);
    Info->setObjectName("Info");
    Info->setWordWrap(true);
    Info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Layout->addWidget(Info);
    Layout->addWidget(CreateBandRow());
    BandSource = new QLabel(Central);
    BandSource->setObjectName("BandSource");
    BandSource->setWordWrap(true);
    Layout->addWidget(BandSource);
    Layout->addWidget(CreateButtonRow());
    Notes = new QLabel(Central);
    Notes->setObjectName("Notes");
    Notes->setWordWrap(true);
    Notes->hide();
    Layout->addWidget(Notes);
    // The verdict sits outside the splitter so that no pane can push it out of sight.
    auto* VerdictBox = new QWidget(Central);
    VerdictBox->setObjectName("Verdict");
    FVerdictLayout = new QVBoxLayout(VerdictBox);
    FVerdictLayout->setContentsMargins(0, 0, 0, 0);
    FVerdictLayout->setSpacing(2);
    Layout->addWidget(VerdictBox);
    auto* Split = new QSplitter(Qt::Vertical, Central);
    Chart = new TLogChart(Split);
    Chart->setMinimumHeight(220);
    CreateTables(Split);
    Split->setStretchFactor(0, 3);
    Split->setStretchFactor(1, 2);
    Split->setSizes({400, 200});
    Layout->addWidget(Split, 1);
    HoverLine = new QLabel(Central);
    HoverLine->setObjectName("HoverLine");
    HoverLine->setWordWrap(true);
    Layout->addWidget(HoverLine);
}

void TLogViewer::CreateTables(QWidget* Parent) {
    Tables = new QTabWidget(Parent);
    Tables->setObjectName("Tables");
    SummaryTable = new QTableWidget(0, 9, Tables);
    SummaryTable->setObjectName("SummaryTable");
    SummaryTable->setHorizontalHeaderLabels({"Zone", "Protected", "Under", "Over", "Lowest Min",
                                             "Highest Max", "First", "Last", "Entries"});
    ExcursionTable = new QTableWidget(0, 6, Tables);
    ExcursionTable->setObjectName("ExcursionTable");
    ExcursionTable->setHorizontalHeaderLabels(
        {"Zone", "Outside the band", "Start", "End", "Duration", "Worst reading"});
    ExcursionTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    ExcursionTable->setSelectionMode(QAbstractItemView::SingleSelection);
    ExcursionTable->setToolTip("Choose a spell to show it on the chart");
    for (QTableWidget* Table : {SummaryTable, ExcursionTable}) {
        Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        Table->verticalHeader()->hide();
        Table->horizontalHeader()->setStretchLastSection(true);
    }
    EntryTable = new QTableView(Tables);
    EntryTable->setObjectName("EntryTable");
    FModel = new TLogEntryModel(this);
    EntryTable->setModel(FModel);
    EntryTable->verticalHeader()->hide();
    EntryTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Fixed widths: measuring 4090 rows to fit them would cost more than drawing the chart.
    EntryTable->horizontalHeader()->setDefaultSectionSize(
        fontMetrics().horizontalAdvance("Stern Max (mV)") + 12);
    EntryTable->setColumnWidth(0, fontMetrics().horizontalAdvance("00000") + 12);
    EntryTable->setColumnWidth(1, fontMetrics().horizontalAdvance("00/00/00 00:00") + 12);
    // Tab moves on to the next control instead of walking through every cell.
    for (QAbstractItemView* Table :
         std::initializer_list<QAbstractItemView*>{SummaryTable, ExcursionTable, EntryTable})
        Table->setTabKeyNavigation(false);
    Tables->addTab(SummaryTable, "&Figures");
    Tables->addTab(ExcursionTable, "E&xcursions");
    Tables->addTab(EntryTable, "E&ntries");
}

QWidget* TLogViewer::CreateBandRow() {
    auto* Row = new QWidget(this);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    auto* ForLabel = new QLabel("&Band for", Row);
    Layout->addWidget(ForLabel);
    MaterialPreset = new QComboBox(Row);
    MaterialPreset->setObjectName("MaterialPreset");
    for (const logdata::TBandPreset& P : logdata::Presets())
        MaterialPreset->addItem(Latin1(std::string(P.Name)));
    MaterialPreset->addItem("Custom");
    MaterialPreset->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    MaterialPreset->setMinimumContentsLength(16);
    ForLabel->setBuddy(MaterialPreset);
    Layout->addWidget(MaterialPreset, 1);
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
    UpperLimit->setAccessibleName("Under-protected above");
    LowerLimit->setAccessibleName("Over-protected below");
    Layout->addWidget(UpperLimit);
    Layout->addWidget(new QLabel("to", Row));
    Layout->addWidget(LowerLimit);
    ReferenceLabel = new QLabel(Row);
    ReferenceLabel->setObjectName("ReferenceLabel");
    ReferenceLabel->setWordWrap(true);
    Layout->addWidget(ReferenceLabel, 1);
    return Row;
}

QWidget* TLogViewer::CreateButtonRow() {
    auto* Row = new QWidget(this);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    ResetZoomButton = new QPushButton("Reset &Zoom", Row);
    ReportButton = new QPushButton("Survey &Report...", Row);
    CsvButton = new QPushButton("Export &CSV...", Row);
    PngButton = new QPushButton("Save &PNG...", Row);
    PdfButton = new QPushButton("Save P&DF...", Row);
    ResetZoomButton->setToolTip("Wheel or drag a box to zoom; drag with the right button or use "
                                "the arrow keys to pan");
    ReportButton->setObjectName("ReportButton");
    Layout->addWidget(ResetZoomButton);
    Layout->addStretch(1);
    for (QPushButton* B : {ReportButton, CsvButton, PngButton, PdfButton})
        Layout->addWidget(B);
    return Row;
}

void TLogViewer::CreateMenu() {
    QMenu* File = menuBar()->addMenu("&File");
    ReportAction = File->addAction("Survey &Report...");
    PrintAction = File->addAction("&Print Survey Report...");
    PrintAction->setShortcut(QKeySequence::Print);
    File->addSeparator();
    CsvAction = File->addAction("Export &CSV...");
    CsvAction->setShortcut(QKeySequence::Save);
    QAction* Png = File->addAction("Save Chart as P&NG...");
    QAction* Pdf = File->addAction("Save Chart as P&DF...");
    File->addSeparator();
    CloseAction = File->addAction("&Close");
    CloseAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
    for (QAction* A : {ReportAction, PrintAction, CsvAction, Png, Pdf, CloseAction})
        A->setShortcutContext(Qt::WindowShortcut);
    connect(Png, &QAction::triggered, PngButton, &QPushButton::click);
    connect(Pdf, &QAction::triggered, PdfButton, &QPushButton::click);
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
    connect(ReportButton, &QPushButton::clicked, this, [this] { ReportClick(); });
    connect(ReportAction, &QAction::triggered, this, [this] { ReportClick(); });
    connect(PrintAction, &QAction::triggered, this, [this] { PrintClick(); });
    connect(CsvAction, &QAction::triggered, CsvButton, &QPushButton::click);
    connect(CloseAction, &QAction::triggered, this, &QWidget::close);
    connect(ExcursionTable, &QTableWidget::itemSelectionChanged, this,
            [this] { ExcursionChosen(); });
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
    FReferenceKnown = Reference.has_value();
    const QString Uncertainty =
        FReference == logdata::TReference::Zinc
            ? QStringLiteral(" (readings good to \u00b1%1 mV)").arg(logdata::ZincUncertaintyMv)
            : QString();
    ReferenceLabel->setText(
        "against " + Latin1(std::string(logdata::ReferenceText(FReference))) + Uncertainty +
        (Reference ? QString() : QStringLiteral(" (assumed: the log does not say)")));
    FSettingLimits = true;
    const logdata::TProtectionBand Band =
        logdata::BandForHeader(FLog.Header.Material, FLog.Header.RefType);
    UpperLimit->setValue(Band.Upper);
    LowerLimit->setValue(Band.Lower);
    FSettingLimits = false;
    ShowPresetOfBand();
    const logdata::THeaderValues& H = FLog.Header;
    Info->setText(
        QStringLiteral("%1   serial %2   hull %3%4   reference %5   interval %6   %7 zone(s)")
            .arg(Latin1(H.KestroName).trimmed(), Latin1(H.SerialNo).trimmed(),
                 Latin1(H.Material.empty() ? "?" : H.Material),
                 Material ? QString() : QStringLiteral(" (band of steel assumed)"),
                 Latin1(H.RefType.empty() ? "?" : H.RefType),
                 Latin1(H.LogInterval.empty() ? "?" : H.LogInterval))
            .arg(FLog.ZoneCount()));
    QStringList Names;
    for (int Zone = 1; Zone <= 3; ++Zone)
        Names << ZoneName(Zone);
    FModel->SetZoneNames(Names);
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
    if (Item < 0 || Item >= CustomIndex()) {
        ShowPresetOfBand(); // "Custom" alone changes no limit
        return;
    }
    SetBand(logdata::PresetBand(logdata::Presets()[static_cast<std::size_t>(Item)].Material,
                                FReference));
}

void TLogViewer::LimitsEdited() {
    if (FSettingLimits)
        return;
    ShowPresetOfBand();
    Chart->SetBand(Band());
    RefreshFigures();
}

void TLogViewer::ShowPresetOfBand() {
    const auto Preset = logdata::PresetWithBand(Band(), FReference);
    MaterialPreset->setCurrentIndex(Preset ? PresetIndex(*Preset) : CustomIndex());
    BandSource->setText(Preset ? "Limits after " +
                                     Latin1(std::string(logdata::PresetFor(*Preset).Source)) + "."
                               : QStringLiteral("Limits set by hand for this log."));
}

QString TLogViewer::ZoneName(int Zone) const {
    const QString Name = Latin1(FLog.ZoneDescription(Zone)).trimmed();
    return Name.isEmpty() ? QStringLiteral("Zone %1").arg(Zone) : Name;
}

QColor TLogViewer::ZoneColour(int Zone) const {
    return ZoneColours[std::clamp(Zone, 1, 3) - 1];
}

void TLogViewer::Refresh() {
    FRedraw->stop();
    const std::vector<std::size_t> Order = logdata::TimeOrder(FLog.Entries);
    const auto Runs = logdata::ContinuousRuns(FLog.Entries, Order, FLog.IntervalMinutes());
    std::vector<TChartZone> Zones;
    for (int Zone = 1; Zone <= FLog.ZoneCount(); ++Zone)
        Zones.push_back({Zone, ZoneName(Zone), ZoneColour(Zone)});
    Chart->SetEntries(&FLog.Entries, Order, Runs, Zones, Latin1(FLog.Header.KestroName).trimmed());
    RefreshFigures();
}

void TLogViewer::RefreshFigures() {
    FSummaries.clear();
    const logdata::TProtectionBand B = Band();
    for (int Zone = 1; Zone <= FLog.ZoneCount(); ++Zone)
        FSummaries.push_back(logdata::SummariseZone(FLog.Entries, Zone, B));
    FVerdict = logdata::JudgeLog(FLog, B);
    FillSummaryTable();
    FillVerdictLines();
    FillExcursionTable();
}

namespace {

// "line 40", "lines 40, 41 and 58 more"; entry numbers for a log that was not read from a file.
QString WhereText(const logdata::TOddEntries& Odd, const logdata::TParsedLog& Log) {
    const bool ByLine = Log.EntryLines.size() == Log.Entries.size();
    QStringList Places;
    for (std::size_t Position : Odd.First)
        Places << QString::number(ByLine ? Log.EntryLines[Position]
                                         : static_cast<std::size_t>(Log.Entries[Position].Index));
    const bool Many = Odd.Count > 1;
    QString Text = ByLine ? (Many ? QStringLiteral("lines ") : QStringLiteral("line "))
                          : (Many ? QStringLiteral("entries ") : QStringLiteral("entry "));
    Text += Places.join(", ");
    if (Odd.Count > Odd.First.size())
        Text += QStringLiteral(" and %1 more").arg(Odd.Count - Odd.First.size());
    return Text;
}

// One note per kind of odd entry, counted, with where the first of them are.
QStringList FindingNotes(const logdata::TParsedLog& Log) {
    const QDateTime Now = QDateTime::currentDateTime();
    const QDate Day = Now.date();
    const QTime Time = Now.time();
    const int64_t NowMinutes = protocol::MinutesSinceEpoch(
        {Day.year(), Day.month(), Day.day(), Time.hour(), Time.minute(), 0, 0});
    const logdata::TLogFindings Found =
        logdata::FindOddEntries(Log.Entries, Log.Header.CyclicLogging, NowMinutes);
    auto Entries = [](std::size_t Count) {
        return Count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(Count);
    };
    const struct {
        const logdata::TOddEntries& Odd;
        const char *One, *Many;
    } Kinds[] = {
        {Found.Repeated, "repeats the time and readings of an earlier entry",
         "repeat the time and readings of an earlier entry"},
        {Found.SameTime, "has the time of an earlier entry with other readings",
         "have the time of an earlier entry with other readings"},
        {Found.Backwards, "is stamped earlier than the entry before it",
         "are stamped earlier than the entry before them"},
        {Found.Future, "is stamped later than this PC's clock",
         "are stamped later than this PC's clock"},
    };
    QStringList Notes;
    for (const auto& Kind : Kinds)
        if (Kind.Odd.Count > 0)
            Notes << QStringLiteral("%1 %2 (%3)")
                         .arg(Entries(Kind.Odd.Count),
                              QString::fromLatin1(Kind.Odd.Count == 1 ? Kind.One : Kind.Many),
                              WhereText(Kind.Odd, Log));
    return Notes;
}

} // namespace

void TLogViewer::ShowNotes() {
    const std::size_t Unread = FLog.ProblemCount();
    const QStringList Found = FindingNotes(FLog);
    if (Unread == 0 && Found.isEmpty()) {
        Notes->hide();
        return;
    }
    auto Skipped = [this](std::size_t From, std::size_t To) {
        QStringList Lines;
        for (std::size_t I = From; I < To; ++I) {
            const logdata::TLogProblem& P = FLog.Problems[I];
            Lines << QStringLiteral("Line %1 skipped: %2").arg(P.Line).arg(Latin1(P.Message));
        }
        return Lines;
    };
    auto More = [](std::size_t Count) {
        return Count == 1 ? QStringLiteral("... and 1 more line could not be read")
                          : QStringLiteral("... and %1 more lines could not be read").arg(Count);
    };
    // The label stays a few lines high however damaged the file; the tooltip lists more, but
    // no more than a screen holds.
    const std::size_t InLabel = std::min<std::size_t>(FLog.Problems.size(), 4);
    const std::size_t InTip = std::min<std::size_t>(FLog.Problems.size(), 40);
    QStringList Text = Skipped(0, InLabel), Tip = Skipped(0, InTip);
    if (Unread > InLabel)
        Text << More(Unread - InLabel);
    if (Unread > InTip)
        Tip << More(Unread - InTip);
    Text << Found;
    Tip << Found;
    Notes->setText(Text.join("\n"));
    Notes->setToolTip(Tip.join("\n"));
    Notes->show();
}

void TLogViewer::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    if (Event->type() == QEvent::PaletteChange && Notes)
        ApplyColours();
}

void TLogViewer::ApplyColours() {
    const QColor Window = palette().color(QPalette::Window);
    QPalette NotePalette = Notes->palette();
    NotePalette.setColor(QPalette::WindowText, Readable(NoteColour, Window));
    Notes->setPalette(NotePalette);
    FillSummaryTable();
    FillVerdictLines();
}

QString TLogViewer::EntryText(std::size_t Position) const {
    if (Position >= FLog.Entries.size())
        return {};
    const protocol::LogRecord& E = FLog.Entries[Position];
    QString Text = QStringLiteral("Entry %1   %2").arg(E.Index).arg(TimeStampText(E.Minutes));
    for (int Zone = 1; Zone <= FLog.ZoneCount(); ++Zone) {
        const std::size_t At = static_cast<std::size_t>(Zone - 1) * 2;
        Text += QStringLiteral("   %1 %2 to %3 mV")
                    .arg(ZoneName(Zone), Millivolts(E.Values[At]), Millivolts(E.Values[At + 1]));
    }
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
