// The log viewer offscreen: a saved 4090-entry log opened from the View menu, its figures,
// hover, band, zoom and exports; files that are no logs or are damaged.
#include "AppFixture.h"

#include "app/Contrast.h"
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "tests/logdata/WrittenLogs.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace apptest {
namespace {

// The figures of one zone, worked out here without the viewer's code.
struct TExpected {
    std::size_t Count = 0, Under = 0, Protected = 0, Over = 0;
    int LowestMin = 0, HighestMax = 0;
    int64_t First = 0, Last = 0;
};

TExpected Expect(const std::vector<protocol::LogRecord>& Entries, int Zone, int Upper, int Lower) {
    TExpected E;
    E.LowestMin = INT32_MAX;
    E.HighestMax = INT32_MIN;
    E.First = INT64_MAX;
    E.Last = INT64_MIN;
    for (const protocol::LogRecord& R : Entries) {
        const int Min = R.Values[(Zone - 1) * 2], Max = R.Values[(Zone - 1) * 2 + 1];
        ++E.Count;
        E.LowestMin = std::min(E.LowestMin, Min);
        E.HighestMax = std::max(E.HighestMax, Max);
        E.First = std::min(E.First, R.Minutes);
        E.Last = std::max(E.Last, R.Minutes);
        if (Max > Upper)
            ++E.Under;
        else if (Min < Lower)
            ++E.Over;
        else
            ++E.Protected;
    }
    return E;
}

QString Percent(std::size_t Part, std::size_t Whole) {
    return QString::number(100.0 * static_cast<double>(Part) / static_cast<double>(Whole), 'f', 1) +
           " %";
}

class LogViewerTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        Form = StartOnMissingPort();
        Form->show();
        QCoreApplication::processEvents(); // start-up's box about the missing port
        Boxes.clear();
    }
    app::TLogViewer* OpenThroughMenu(const QString& Path) {
        Form->OpenNameHook = [Path] { return Path; };
        const int Before = static_cast<int>(Form->findChildren<app::TLogViewer*>().size());
        Form->OpenSavedLog1->trigger();
        QCoreApplication::processEvents(); // a box about the file opens after the handler
        const auto Viewers = Form->findChildren<app::TLogViewer*>();
        if (Viewers.size() != Before + 1)
            return nullptr;
        return Viewers.back();
    }
    QString Write(const QString& Name, const std::string& Bytes) {
        QFile File(Dir.filePath(Name));
        File.open(QIODevice::WriteOnly);
        File.write(Bytes.data(), static_cast<qint64>(Bytes.size()));
        return File.fileName();
    }
    QTemporaryDir Dir;
    std::unique_ptr<app::TForm1> Form;
};

TEST_F(LogViewerTest, ASaved4090EntryLogShowsFiguresThatAgreeWithTheEntries) {
    const auto Entries = writtenlogs::MakeEntries(4090, true);
    const QString Path = Dir.filePath("full.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), Entries);
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Viewer->Log().Entries, Entries);
    EXPECT_TRUE(Viewer->Notes->isHidden());
    // Steel against Ag/AgCl, as the header says.
    EXPECT_EQ(Viewer->MaterialPreset->currentText(), "Steel");
    EXPECT_EQ(Viewer->UpperLimit->value(), -800);
    EXPECT_EQ(Viewer->LowerLimit->value(), -1050);
    ASSERT_EQ(Viewer->Summaries().size(), 3u);
    ASSERT_EQ(Viewer->SummaryTable->rowCount(), 3);
    for (int Zone = 1; Zone <= 3; ++Zone) {
        const TExpected E = Expect(Entries, Zone, -800, -1050);
        const logdata::TZoneSummary& S = Viewer->Summaries()[Zone - 1];
        EXPECT_EQ(S.Count, 4090u);
        EXPECT_EQ(S.LowestMin, E.LowestMin);
        EXPECT_EQ(S.HighestMax, E.HighestMax);
        EXPECT_EQ(S.FirstMinutes, E.First);
        EXPECT_EQ(S.LastMinutes, E.Last);
        EXPECT_DOUBLE_EQ(S.Under * 4090, static_cast<double>(E.Under));
        EXPECT_DOUBLE_EQ(S.Protected * 4090, static_cast<double>(E.Protected));
        EXPECT_DOUBLE_EQ(S.Over * 4090, static_cast<double>(E.Over));
        const auto Cell = [&](int Column) {
            return Viewer->SummaryTable->item(Zone - 1, Column)->text();
        };
        // The shares come first, so that they are never scrolled out of sight.
        EXPECT_EQ(Cell(1), Percent(E.Protected, E.Count));
        EXPECT_EQ(Cell(2), Percent(E.Under, E.Count));
        EXPECT_EQ(Cell(3), Percent(E.Over, E.Count));
        EXPECT_EQ(Cell(4), QString::number(E.LowestMin) + " mV");
        EXPECT_EQ(Cell(5), QString::number(E.HighestMax) + " mV");
        EXPECT_EQ(Cell(8), "4090");
    }
    EXPECT_EQ(Viewer->SummaryTable->item(0, 0)->text(), "Stern");
    EXPECT_EQ(Viewer->SummaryTable->item(0, 6)->text(), "01/07/26");
    EXPECT_EQ(Viewer->EntryTable->model()->rowCount(), 4090);

    // Moving the limits (for this log only) changes the shares at once.
    Viewer->UpperLimit->setValue(-700);
    Viewer->LowerLimit->setValue(-1200);
    const TExpected Wide = Expect(Entries, 2, -700, -1200);
    EXPECT_DOUBLE_EQ(Viewer->Summaries()[1].Protected * 4090, static_cast<double>(Wide.Protected));
    EXPECT_EQ(Viewer->SummaryTable->item(1, 1)->text(), Percent(Wide.Protected, Wide.Count));
    Viewer->MaterialPreset->setCurrentIndex(0);
    emit Viewer->MaterialPreset->activated(0);
    EXPECT_EQ(Viewer->MaterialPreset->currentText(), "Aluminium");
    EXPECT_EQ(Viewer->Band(), (logdata::TProtectionBand{-900, -1100}));
}

TEST_F(LogViewerTest, CsvPngAndPdfExportsAreWholeAndRight) {
    const auto Entries = writtenlogs::MakeEntries(4090, true);
    const QString Path = Dir.filePath("full.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), Entries);
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
    QString Asked;
    Viewer->SaveNameHook = [&](const QString&, const QString& Suggested) {
        Asked = Suggested;
        return Dir.filePath("out"); // no suffix: the export adds it
    };
    Viewer->CsvButton->click();
    EXPECT_EQ(Asked, "full.csv");
    QFile Csv(Dir.filePath("out.csv"));
    ASSERT_TRUE(Csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = Csv.readAll().split('\n');
    // The heading, 4090 rows, and nothing after the last CR LF.
    ASSERT_EQ(Lines.size(), 1 + 4090 + 1);
    EXPECT_TRUE(Lines.back().isEmpty());
    EXPECT_TRUE(Lines[0].startsWith("\"Entry\",\"Logger time\",\"UTC\",\"Zone 1 Stern Min (mV)\","))
        << Lines[0].toStdString();
    for (std::size_t I = 0; I < Entries.size(); ++I) {
        const protocol::LogRecord& E = Entries[I];
        const protocol::DateTime T = E.TimeStamp();
        QString Row = QString("%1,%2,").arg(E.Index).arg(
            QDateTime(QDate(T.Year, T.Month, T.Day), QTime(T.Hour, T.Minute))
                .toString("yyyy-MM-ddTHH:mm:ss"));
        const QByteArray Line = Lines[1 + static_cast<int>(I)];
        ASSERT_TRUE(Line.startsWith(Row.toLatin1())) << "row " << I;
        // The band the viewer shows, in every row.
        ASSERT_TRUE(Line.endsWith(",-800,-1050\r")) << "row " << I;
    }

    Viewer->PngButton->click();
    QImage Png;
    ASSERT_TRUE(Png.load(Dir.filePath("out.png"), "PNG"));
    const QImage OnScreen = Viewer->Chart->Picture();
    EXPECT_EQ(Png.size(), OnScreen.size());
    EXPECT_EQ(Png.size(), Viewer->Chart->size() * Viewer->Chart->devicePixelRatio());
    QSet<QRgb> Colours;
    for (int Y = 0; Y < Png.height(); Y += 4)
        for (int X = 0; X < Png.width(); X += 4)
            Colours.insert(Png.pixel(X, Y));
    EXPECT_GT(Colours.size(), 8) << "the picture is blank";

    Viewer->PdfButton->click();
    QFile Pdf(Dir.filePath("out.pdf"));
    ASSERT_TRUE(Pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(Pdf.read(5) == "%PDF-");
    EXPECT_GT(Pdf.size(), 2000);

    // A folder that cannot be written shows one box and leaves no file behind.
    Viewer->SaveNameHook = [](const QString&, const QString&) {
        return QString("/nonexistent/quorva/out.csv");
    };
    Viewer->CsvButton->click();
    QCoreApplication::processEvents(); // the box opens after the click's handler
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
    Viewer->SaveNameHook = [](const QString&, const QString&) { return QString(); };
    Viewer->CsvButton->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Boxes.size(), 1);
}

TEST_F(LogViewerTest, HoverNamesTheEntryAndWheelZoomsAboutThePointer) {
    const auto Entries = writtenlogs::MakeEntries(200, true);
    const QString Path = Dir.filePath("short.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), Entries);
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
    app::TLogChart* Chart = Viewer->Chart;
    QWidget* Surface = Chart->findChild<QWidget*>("ChartView");
    ASSERT_NE(Surface, nullptr);
    const QPoint At = Chart->PointOf(120, Entries[120].Values[0]);
    ASSERT_EQ(Chart->EntryAt(At), std::optional<std::size_t>(120));
    QWidget* Viewport = static_cast<QAbstractScrollArea*>(Surface)->viewport();
    const QPointF Pointer = Viewport->mapFrom(Chart, At);
    QMouseEvent Move(QEvent::MouseMove, Pointer, Viewport->mapToGlobal(Pointer), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Viewport, &Move);
    const QString Shown = Viewer->HoverLine->text();
    EXPECT_TRUE(Shown.startsWith("Entry 121 ")) << Shown.toStdString();
    EXPECT_TRUE(Shown.contains(QString::fromLatin1(
        protocol::DateTimeToStr(Entries[120].TimeStamp(), protocol::DateFormats{}))));
    // Each zone by name with its two readings in mV.
    EXPECT_TRUE(Shown.contains(QStringLiteral("Bow \u2212%1 to \u2212%2 mV")
                                   .arg(-Entries[120].Values[4])
                                   .arg(-Entries[120].Values[5])))
        << Shown.toStdString();
    EXPECT_EQ(Chart->EntryAt(QPoint(1, 1)), std::nullopt);

    const auto [From, To] = Chart->ShownRange();
    QWheelEvent Wheel(Pointer, Viewport->mapToGlobal(Pointer), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Viewport, &Wheel);
    const auto [ZFrom, ZTo] = Chart->ShownRange();
    EXPECT_NEAR((ZTo - ZFrom) * 1.25, To - From, (To - From) * 0.01);
    // The entry under the pointer stays under it.
    EXPECT_EQ(Chart->EntryAt(At), std::optional<std::size_t>(120));
    Chart->Pan(0.5, 0);
    EXPECT_GT(Chart->ShownRange().first, ZFrom);
    // New limits keep the view the user chose.
    const auto Panned = Chart->ShownRange();
    Viewer->SetBand({-700, -1200});
    EXPECT_EQ(Chart->ShownRange(), Panned);
    Viewer->ResetZoomButton->click();
    EXPECT_EQ(Chart->ShownRange(), std::make_pair(From, To));
}

TEST_F(LogViewerTest, AFileThatIsNoLogSaysSoInOneBoxAndOpensNothing) {
    const QString Text = Write("notes.txt", "Shopping list\r\nanodes\r\n");
    EXPECT_EQ(OpenThroughMenu(Text), nullptr);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].contains("notes.txt is not a log file")) << Boxes[0].toStdString();
    EXPECT_EQ(OpenThroughMenu(Dir.filePath("missing.txt")), nullptr);
    EXPECT_EQ(Boxes.size(), 2);
    Form->OpenNameHook = [] { return QString(); };
    Form->OpenSavedLog1->trigger();
    EXPECT_EQ(Boxes.size(), 2);
    EXPECT_TRUE(Form->findChildren<app::TLogViewer*>().isEmpty());
}

TEST_F(LogViewerTest, DamagedLinesAreListedByNumberAndTheRestIsShown) {
    const QString Path = Dir.filePath("damaged.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(),
                            writtenlogs::MakeEntries(30));
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    QList<QByteArray> Lines = File.readAll().split('\n');
    File.close();
    Lines[24] = "4 01/07/26 00:45 -852 -844\r";      // line 25: cut short
    Lines[30] = "10 01/07/26 02:\xE9 0 0 0 0 0 0\r"; // line 31: a damaged time
    const QString Damaged = Write("damaged2.txt", Lines.join('\n').toStdString());
    app::TLogViewer* Viewer = OpenThroughMenu(Damaged);
    ASSERT_NE(Viewer, nullptr);
    EXPECT_TRUE(Boxes.isEmpty());
    EXPECT_EQ(Viewer->Log().Entries.size(), 28u);
    EXPECT_FALSE(Viewer->Notes->isHidden());
    EXPECT_TRUE(Viewer->Notes->text().contains("Line 25 skipped"))
        << Viewer->Notes->text().toStdString();
    EXPECT_TRUE(Viewer->Notes->text().contains("Line 31 skipped"));
    // Two files open side by side.
    ASSERT_NE(OpenThroughMenu(Path), nullptr);
    EXPECT_EQ(Form->findChildren<app::TLogViewer*>().size(), 2);
}

TEST_F(LogViewerTest, JunkAndOddEntriesAreCountedInAFewNotesNotListedLineByLine) {
    const auto Entries = writtenlogs::MakeEntries(30);
    const QString Sound = Dir.filePath("sound.txt");
    writtenlogs::WriteSaved(Sound.toStdString(), writtenlogs::SampleHeader(), Entries);
    QFile File(Sound);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    std::string Text = File.readAll().toStdString();
    File.close();
    Text.resize(Text.size() - 2); // Save's closing empty line would be inside the data now
    // Lines 52 to 111 repeat entry 5, line 112 is stamped 2099, then 5000 lines of junk.
    for (int I = 0; I < 60; ++I)
        Text += protocol::LogLine(Entries[4]) + "\r\n";
    protocol::LogRecord Far = Entries.back();
    Far.Index = 31;
    Far.Minutes = protocol::MinutesSinceEpoch({2099, 1, 1, 0, 0, 0, 0});
    Text += protocol::LogLine(Far) + "\r\n";
    for (int I = 0; I < 5000; ++I)
        Text += "~\r\n";
    app::TLogViewer* Viewer = OpenThroughMenu(Write("odd.txt", Text));
    ASSERT_NE(Viewer, nullptr);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Viewer->Log().Entries.size(), 91u);
    const QString Notes = Viewer->Notes->text();
    EXPECT_FALSE(Viewer->Notes->isHidden());
    EXPECT_TRUE(Notes.contains("Line 113 skipped")) << Notes.toStdString();
    EXPECT_TRUE(Notes.contains("4996 more lines could not be read")) << Notes.toStdString();
    EXPECT_TRUE(Notes.contains("60 entries repeat the time and readings of an earlier entry "
                               "(lines 52, 53, 54, 55, 56 and 55 more)"))
        << Notes.toStdString();
    EXPECT_TRUE(Notes.contains("1 entry is stamped later than this PC's clock (line 112)"));
    EXPECT_LE(Notes.count('\n'), 10);
    // The tooltip lists more lines than the label, not all five thousand.
    const QString Tip = Viewer->Notes->toolTip();
    EXPECT_TRUE(Tip.contains("Line 150 skipped")) << Tip.left(300).toStdString();
    EXPECT_LE(Tip.count('\n'), 50);

    // A file far larger than any log is refused without being read.
    QFile Huge(Dir.filePath("huge.txt"));
    ASSERT_TRUE(Huge.open(QIODevice::WriteOnly));
    Huge.write(Text.data(), static_cast<qint64>(Text.size()));
    ASSERT_TRUE(Huge.resize(app::MaxLogFileBytes + 1)); // sparse: costs no disk
    Huge.close();
    EXPECT_EQ(OpenThroughMenu(Huge.fileName()), nullptr);
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].contains("far larger than any log")) << Boxes[0].toStdString();
}

// A day at 15 minutes: Stern above the steel band for entries 40 to 49 (worst -742 at entry 45),
// Keel always inside, Bow below it for entries 70 to 72 (worst -1130 at entry 71).
std::vector<protocol::LogRecord> DayCrossingTheBand() {
    std::vector<protocol::LogRecord> Entries;
    const int64_t Start = protocol::MinutesSinceEpoch({2026, 7, 1, 0, 0, 0, 0});
    for (int I = 1; I <= 96; ++I) {
        protocol::LogRecord R;
        R.Index = I;
        R.Minutes = Start + (I - 1) * 15;
        const int SternMax = I == 45 ? -742 : (I >= 40 && I <= 49 ? -780 : -850);
        const int BowMin = I == 71 ? -1130 : (I >= 70 && I <= 72 ? -1080 : -1000);
        R.Values = {-900, SternMax, -950, -900, BowMin, -950};
        Entries.push_back(R);
    }
    return Entries;
}

const QString SternVerdict = QStringLiteral("Stern \u2014 protected 90 % of the time, "
                                            "under-protected 10 %; 1 excursion, worst \u2212742 "
                                            "mV on 01/07/26 11:00");
const QString KeelVerdict = QStringLiteral("Keel \u2014 protected 100 % of the time");
const QString BowVerdict = QStringLiteral("Bow \u2014 protected 97 % of the time, "
                                          "over-protected 3 %; 1 excursion, worst \u22121130 mV "
                                          "on 01/07/26 17:30");

QString PdfText(const QString& Path) {
    QProcess Run;
    Run.start("pdftotext", {"-layout", Path, "-"});
    Run.waitForFinished(20000);
    return QString::fromUtf8(Run.readAllStandardOutput()).simplified();
}

QString PdfPaper(const QString& Path) {
    QProcess Run;
    Run.start("pdfinfo", {Path});
    Run.waitForFinished(20000);
    const QString Info = QString::fromUtf8(Run.readAllStandardOutput());
    return Info.contains("(A4)") ? "A4" : Info.contains("(letter)") ? "Letter" : Info;
}

TEST_F(LogViewerTest, VerdictPerZoneIsInWordsInViewAndEachSpellZoomsTheChart) {
    const auto Entries = DayCrossingTheBand();
    const QString Path = Dir.filePath("day");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), Entries);
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
    ASSERT_EQ(Viewer->VerdictLines.size(), 3u);
    const QString Expected[3] = {SternVerdict, KeelVerdict, BowVerdict};
    for (int Zone = 0; Zone < 3; ++Zone) {
        QLabel* Line = Viewer->VerdictLines[static_cast<std::size_t>(Zone)];
        EXPECT_EQ(Line->text(), Expected[Zone]);
        // Shown whole inside the window at its opening size.
        EXPECT_TRUE(Line->isVisible());
        const QRect InWindow(Line->mapTo(Viewer, QPoint(0, 0)), Line->size());
        EXPECT_TRUE(Viewer->rect().contains(InWindow)) << Zone;
    }
    // The two spells, oldest first; choosing one shows it and a little either side.
    ASSERT_EQ(Viewer->ExcursionTable->rowCount(), 2);
    EXPECT_EQ(Viewer->ExcursionTable->item(0, 1)->text(), "under-protected");
    EXPECT_EQ(Viewer->ExcursionTable->item(0, 4)->text(), "2 h 30 min");
    EXPECT_EQ(Viewer->ExcursionTable->item(1, 0)->text(), "Bow");
    const auto [AllFrom, AllTo] = Viewer->Chart->ShownRange();
    Viewer->ExcursionTable->selectRow(1);
    const auto [From, To] = Viewer->Chart->ShownRange();
    EXPECT_LE(From, app::TLogChart::TimeOf(Entries[69].Minutes));
    EXPECT_GE(To, app::TLogChart::TimeOf(Entries[71].Minutes));
    EXPECT_LT(To - From, (AllTo - AllFrom) / 4);

    // A hand-edited limit is no preset any more, and a tighter band shows at once in words.
    Viewer->UpperLimit->setValue(-910);
    EXPECT_EQ(Viewer->MaterialPreset->currentText(), "Custom");
    EXPECT_TRUE(Viewer->BandSource->text().contains("by hand"));
    EXPECT_TRUE(Viewer->VerdictLines[1]->text().startsWith(
        QStringLiteral("Keel \u2014 protected 0 % of the time, under-protected 100 %")))
        << Viewer->VerdictLines[1]->text().toStdString();
}

TEST_F(LogViewerTest, SurveyReportPdfHoldsLoggerBandPeriodVerdictsAndNotesOnTheLocalesPaper) {
    const QString Path = Dir.filePath("day.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), DayCrossingTheBand());
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    Viewer->DetailsHook = [](app::TSurveyDetails& Details) {
        Details.Vessel = "Marguerite";
        Details.Notes = "Anodes renewed in May.";
        return true;
    };
    QString Asked;
    Viewer->SaveNameHook = [&](const QString& Caption, const QString&) {
        Asked = Caption;
        return Dir.filePath("survey");
    };
    Viewer->ReportButton->click();
    EXPECT_EQ(Asked, "Save Survey Report");
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    const QString Text = PdfText(Dir.filePath("survey.pdf"));
    for (const QString& Wanted :
         {QStringLiteral("Marguerite"), QStringLiteral("Harbour One"), QStringLiteral("SN-0042"),
          QStringLiteral("KV1.4 4090"),
          QStringLiteral("\u2212800 to \u22121050 mV against Ag AgCl (Steel)"),
          QStringLiteral("Period 01/07/26 to 01/07/26 23:45 (23 h 45 min)"),
          QStringLiteral("the logger's clock was 1 min behind the PC's"), SternVerdict, KeelVerdict,
          BowVerdict, QStringLiteral("Anodes renewed in May."),
          QStringLiteral("The chart as the viewer showed it: 01/07/26")})
        EXPECT_TRUE(Text.contains(Wanted))
            << Wanted.toStdString() << "\nin: " << Text.toStdString();
    EXPECT_EQ(PdfPaper(Dir.filePath("survey.pdf")), "A4");

    // Printing draws the same pages; a US locale prints on Letter.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Viewer->PrintHook = [&](QPrinter& Printer) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(Dir.filePath("printed.pdf"));
        return true;
    };
    QTest::keyClick(Viewer, Qt::Key_P, Qt::ControlModifier);
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(PdfText(Dir.filePath("printed.pdf")).contains(SternVerdict));
    EXPECT_EQ(PdfPaper(Dir.filePath("printed.pdf")), "Letter");
}

TEST_F(LogViewerTest, KeyboardScreenReaderWidthAndContrastInLightAndDarkPalettes) {
    const QString Path = Dir.filePath("day.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(), DayCrossingTheBand());
    QPointer<app::TLogViewer> Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer));
    QAccessibleInterface* Accessible = QAccessible::queryAccessibleInterface(Viewer);
    ASSERT_NE(Accessible, nullptr);
    EXPECT_EQ(Accessible->role(), QAccessible::Window);
    EXPECT_LT(Viewer->minimumSizeHint().width(), 800);

    Viewer->Tables->setCurrentWidget(Viewer->EntryTable);
    Viewer->EntryTable->setFocus();
    Viewer->EntryTable->setCurrentIndex(Viewer->EntryTable->model()->index(0, 2));
    QTest::keyClick(Viewer->EntryTable, Qt::Key_Tab);
    EXPECT_FALSE(Viewer->EntryTable->hasFocus()) << "Tab stays inside the table";
    EXPECT_EQ(Viewer->EntryTable->model()->headerData(4, Qt::Horizontal).toString(),
              "Keel Min (mV)");

    QString Asked;
    Viewer->SaveNameHook = [&](const QString& Caption, const QString&) {
        Asked = Caption;
        return QString();
    };
    QTest::keyClick(Viewer, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Asked, "Export CSV");

    // Readable text whichever palette the desktop hands over.
    QPalette Dark;
    Dark.setColor(QPalette::Window, QColor(30, 30, 30));
    Dark.setColor(QPalette::Base, QColor(20, 20, 20));
    Dark.setColor(QPalette::WindowText, Qt::white);
    Dark.setColor(QPalette::Text, Qt::white);
    for (const QPalette& Palette : {QPalette(Qt::white), Dark}) {
        Viewer->setPalette(Palette);
        const QColor Window = Viewer->palette().color(QPalette::Window);
        const QColor Base = Viewer->SummaryTable->palette().color(QPalette::Base);
        for (int Row = 0; Row < 3; ++Row)
            EXPECT_GE(
                app::ContrastRatio(Viewer->SummaryTable->item(Row, 0)->foreground().color(), Base),
                4.5)
                << Row;
        for (QLabel* Label : {Viewer->Notes, Viewer->VerdictLines[0], Viewer->VerdictLines[2]})
            EXPECT_GE(app::ContrastRatio(Label->palette().color(QPalette::WindowText), Window), 4.5)
                << Label->objectName().toStdString();
    }

    QTest::keyClick(Viewer, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Viewer.isNull()) << "Escape leaves the viewer open";
    Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    QTest::keyClick(Viewer, Qt::Key_W, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Viewer.isNull()) << "Ctrl+W leaves the viewer open";
}

TEST_F(LogViewerTest, HullPresetsNameTheirSourceAndZincShowsItsUncertainty) {
    logdata::THeaderValues Header = writtenlogs::SampleHeader();
    Header.Material = "Bronze"; // the logger's word, as saved logs carry it
    Header.RefType = "Zinc";
    const QString Path = Dir.filePath("bronze.txt");
    writtenlogs::WriteSaved(Path.toStdString(), Header, DayCrossingTheBand());
    app::TLogViewer* Viewer = OpenThroughMenu(Path);
    ASSERT_NE(Viewer, nullptr);
    EXPECT_EQ(Viewer->MaterialPreset->currentText(), "Fibreglass hull with bronze fittings");
    // -550 / -1100 against Ag/AgCl, 1050 mV higher against zinc.
    EXPECT_EQ(Viewer->Band(), (logdata::TProtectionBand{500, -50}));
    EXPECT_TRUE(Viewer->ReferenceLabel->text().contains(QStringLiteral("\u00b130 mV")));
    QStringList Sources;
    for (int Item = 0; Item + 1 < Viewer->MaterialPreset->count(); ++Item) {
        Viewer->MaterialPreset->setCurrentIndex(Item);
        emit Viewer->MaterialPreset->activated(Item);
        EXPECT_EQ(Viewer->MaterialPreset->currentIndex(), Item);
        Sources << Viewer->BandSource->text();
    }
    EXPECT_EQ(Sources.size(), 5);
    EXPECT_EQ(Sources.removeDuplicates(), 0) << "two presets share a source text";
    EXPECT_TRUE(Viewer->MaterialPreset->findText("Wooden hull") >= 0);
}

} // namespace
} // namespace apptest
