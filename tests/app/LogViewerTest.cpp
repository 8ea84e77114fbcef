// The log viewer offscreen: a saved 4090-entry log opened from the View menu, its figures,
// hover, band, zoom and exports; files that are no logs or are damaged.
#include "AppFixture.h"

#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "tests/logdata/WrittenLogs.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
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
        EXPECT_EQ(Cell(3), "4090");
        EXPECT_EQ(Cell(4), QString::number(E.LowestMin) + " mV");
        EXPECT_EQ(Cell(5), QString::number(E.HighestMax) + " mV");
        EXPECT_EQ(Cell(6), Percent(E.Under, E.Count));
        EXPECT_EQ(Cell(7), Percent(E.Protected, E.Count));
        EXPECT_EQ(Cell(8), Percent(E.Over, E.Count));
    }
    EXPECT_EQ(Viewer->SummaryTable->item(0, 0)->text(), "Stern");
    EXPECT_EQ(Viewer->SummaryTable->item(0, 1)->text(), "01/07/26");
    EXPECT_EQ(Viewer->EntryTable->model()->rowCount(), 4090);

    // Moving the limits (for this log only) changes the shares at once.
    Viewer->UpperLimit->setValue(-700);
    Viewer->LowerLimit->setValue(-1200);
    const TExpected Wide = Expect(Entries, 2, -700, -1200);
    EXPECT_DOUBLE_EQ(Viewer->Summaries()[1].Protected * 4090, static_cast<double>(Wide.Protected));
    EXPECT_EQ(Viewer->SummaryTable->item(1, 7)->text(), Percent(Wide.Protected, Wide.Count));
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
    EXPECT_TRUE(Shown.contains("Max3 " + QString::number(Entries[120].Values[5])))
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

} // namespace
} // namespace apptest
