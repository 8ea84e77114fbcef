// Time from "open this log" to the chart's first painted frame for a 4090-entry log, and the
// memory the viewer adds to the running program; the same for two gappy 4090-entry logs, and
// the memory a chart gains while it follows a 4090-entry download redraw by redraw.
// Run: build/bench/viewer/viewer_bench [runs [seconds to keep a viewer open]]
// Or:  build/bench/viewer/viewer_bench junk-parse|junk-view|copies-view [megabytes]: a sound
//      header and then two-byte junk lines (or copies of one entry's line), read by the parser
//      alone or opened in the viewer; the time and the process's peak memory (run each in its own
//      process for a true peak).
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "app/Logger.h"
#include "app/Shell.h"
#include "bench/BenchSupport.h"
#include "logdata/LogParse.h"
#include "logdata/LogStats.h"
#include "tests/logdata/WrittenLogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench::RunFor;
using bench::ThreadCpuMs;

long StatusKb(const std::string& Wanted) {
    std::ifstream Status("/proc/self/status");
    std::string Key;
    long Value = 0;
    while (Status >> Key) {
        if (Key == Wanted) {
            Status >> Value;
            return Value;
        }
        Status.ignore(1 << 10, '\n');
    }
    return 0;
}

long RssKb() {
    return StatusKb("VmRSS:");
}

// Wall-clock and main-thread CPU milliseconds from the open to the chart's first frame. The
// CPU time is what the viewer itself costs; the wall time also holds whatever else the
// machine was doing.
struct TTiming {
    double WallMs = 0, CpuMs = 0;
};

TTiming OpenAndPaint(const QString& Path, QWidget* Parent, app::TLogViewer** Opened) {
    QElapsedTimer Clock;
    Clock.start();
    const double CpuAtStart = ThreadCpuMs();
    app::TLogViewer* Viewer = app::TLogViewer::OpenSavedLog(Path, Parent);
    if (!Viewer) {
        std::fprintf(stderr, "the log did not open\n");
        std::exit(1);
    }
    TTiming Painted{-1, -1};
    Viewer->Chart->OnPainted = [&] {
        if (Painted.WallMs < 0)
            Painted = {static_cast<double>(Clock.nsecsElapsed()) / 1e6, ThreadCpuMs() - CpuAtStart};
    };
    Viewer->show();
    while (Painted.WallMs < 0 && Clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    Viewer->Chart->OnPainted = nullptr;
    *Opened = Viewer;
    return Painted;
}

void PrintTimes(const char* What, std::vector<double> Times) {
    std::printf("%s: first %.1f ms", What, Times.front());
    if (Times.size() > 1) {
        std::vector<double> Rest(Times.begin() + 1, Times.end());
        std::sort(Rest.begin(), Rest.end());
        std::printf(", then min %.1f, median %.1f, max %.1f ms", Rest.front(),
                    Rest[Rest.size() / 2], Rest.back());
    }
    std::printf("\n");
}

// Opens Path Runs times; prints the times and the program's memory with the viewer open.
void MeasureOpen(const char* What, const QString& Path, QWidget* Parent, int Runs) {
    std::vector<double> Walls;
    long Peak = 0;
    for (int I = 0; I < Runs; ++I) {
        app::TLogViewer* Viewer = nullptr;
        Walls.push_back(OpenAndPaint(Path, Parent, &Viewer).WallMs);
        RunFor(200);
        Peak = std::max(Peak, RssKb());
        Viewer->close();
        RunFor(100);
    }
    std::printf("%s\n", What);
    PrintTimes("  open to first painted frame, wall clock", Walls);
    std::printf("  program with the viewer open: %.1f MB at most\n", Peak / 1024.0);
}

// Each entry a step longer than the one before, so no step is the log's usual one and the
// header's 15 minutes decide: every step is a gap.
std::vector<protocol::LogRecord> GapBetweenEveryEntry() {
    auto Entries = writtenlogs::MakeEntries(4090);
    for (std::size_t I = 1; I < Entries.size(); ++I)
        Entries[I].Minutes = Entries[I - 1].Minutes + 30 + static_cast<int64_t>(I);
    return Entries;
}

// A download followed by the viewer: an entry every 80 ms and a redraw every 250 ms is three
// entries a redraw, replayed here redraw by redraw as the viewer's own redraw does it.
void MeasureFollowedDownload() {
    const auto All = writtenlogs::MakeEntries(4090, true);
    app::TLogChart Chart;
    Chart.resize(1000, 520);
    Chart.SetBand({-800, -1050});
    Chart.show();
    RunFor(300);
    std::vector<protocol::LogRecord> Entries;
    const std::vector<app::TChartZone> Zones = {{1, "Stern", QColor(0, 90, 200)},
                                                {2, "Keel", QColor(225, 120, 0)},
                                                {3, "Bow", QColor(140, 40, 160)}};
    const long Before = RssKb();
    QElapsedTimer Clock;
    Clock.start();
    int Redraws = 0;
    double SetCpu = 0, PaintCpu = 0; // main-thread CPU ms
    for (std::size_t Count = 3; Count <= All.size() + 2; Count += 3, ++Redraws) {
        Entries.assign(All.begin(),
                       All.begin() + static_cast<std::ptrdiff_t>(std::min(Count, All.size())));
        const auto Order = logdata::TimeOrder(Entries);
        const double Start = ThreadCpuMs();
        Chart.SetEntries(&Entries, Order, logdata::ContinuousRuns(Entries, Order, 15), Zones,
                         "Harbour One");
        const double Told = ThreadCpuMs();
        QApplication::processEvents();
        SetCpu += Told - Start;
        PaintCpu += ThreadCpuMs() - Told;
    }
    RunFor(300);
    const long After = RssKb();
    std::printf("a followed 4090-entry download, %d redraws in %.1f s: memory %.1f MB -> %.1f MB "
                "(%+.1f MB)\n",
                Redraws, Clock.elapsed() / 1000.0, Before / 1024.0, After / 1024.0,
                (After - Before) / 1024.0);
    std::printf("  main-thread CPU per redraw: %.1f ms giving the entries, %.1f ms drawing\n",
                SetCpu / Redraws, PaintCpu / Redraws);
}

// A sound header and one entry, then two-byte junk lines (or copies of the entry's line) up to
// Megabytes.
void WriteJunkLog(const QString& Path, int Megabytes, bool Copies) {
    const auto Entries = writtenlogs::MakeEntries(1);
    writtenlogs::WriteDownloaded(Path.toStdString(), writtenlogs::SampleHeader(), Entries);
    std::ofstream Out(Path.toStdString(), std::ios::binary | std::ios::app);
    const std::string Line = Copies ? protocol::LogLine(Entries[0]) + "\r\n" : "x\n";
    std::string Lines;
    while (Lines.size() + Line.size() <= (1u << 20))
        Lines += Line;
    for (int I = 0; I < Megabytes; ++I)
        Out << Lines;
}

int MeasureJunk(const std::string& How, int Megabytes) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("junk.txt");
    WriteJunkLog(Path, Megabytes, How == "copies-view");
    const long Before = StatusKb("VmHWM:");
    QElapsedTimer Clock;
    Clock.start();
    if (How == "junk-parse") {
        std::ifstream In(Path.toStdString(), std::ios::binary);
        const std::string Text((std::istreambuf_iterator<char>(In)),
                               std::istreambuf_iterator<char>());
        const double ReadMs = static_cast<double>(Clock.nsecsElapsed()) / 1e6;
        const logdata::TParsedLog Log = logdata::ParseLogText(Text);
        std::printf("%d MB of junk lines, parser: read %.0f ms, parsed %.0f ms; %zu entries, "
                    "%zu problems kept of %zu\n",
                    Megabytes, ReadMs, static_cast<double>(Clock.nsecsElapsed()) / 1e6 - ReadMs,
                    Log.Entries.size(), Log.Problems.size(), Log.ProblemCount());
    } else {
        QWidget Parent;
        app::TLogViewer* Viewer = nullptr;
        const TTiming T = OpenAndPaint(Path, &Parent, &Viewer);
        std::printf("%d MB of junk lines, viewer: open to first painted frame %.0f ms wall, %.0f "
                    "ms main-thread CPU; notes:\n%s\n",
                    Megabytes, T.WallMs, T.CpuMs, qPrintable(Viewer->Notes->text()));
    }
    std::printf("peak memory: %.1f MB before the file, %.1f MB after\n", Before / 1024.0,
                StatusKb("VmHWM:") / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    app::SetErrorBoxHook(
        [](const QString& M) { std::fprintf(stderr, "box: %s\n", qPrintable(M)); });
    if (argc > 1 &&
        (std::string(argv[1]).rfind("junk-", 0) == 0 || std::string(argv[1]) == "copies-view"))
        return MeasureJunk(argv[1], argc > 2 ? std::atoi(argv[2]) : 20);
    const int Runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // A second argument keeps one viewer open that many seconds, to look at it.
    const int HoldSeconds = argc > 2 ? std::atoi(argv[2]) : 0;
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("full.txt");
    writtenlogs::WriteSaved(Path.toStdString(), writtenlogs::SampleHeader(),
                            writtenlogs::MakeEntries(4090, true));

    // The program as it runs without a viewer: its window, searching on a port that is absent.
    setenv("QUORVA_COM1", "/nonexistent/quorva-bench-port", 1);
    app::TForm1 Form;
    Form.show();
    RunFor(1500);
    const long Before = RssKb();

    std::vector<double> Walls, Cpus;
    long WithOne = 0;
    for (int I = 0; I < Runs; ++I) {
        app::TLogViewer* Viewer = nullptr;
        const TTiming T = OpenAndPaint(Path, &Form, &Viewer);
        Walls.push_back(T.WallMs);
        Cpus.push_back(T.CpuMs);
        RunFor(300);
        if (I == 0)
            WithOne = RssKb();
        Viewer->close();
        RunFor(100);
    }
    const long After = RssKb();
    const auto Left = Form.findChildren<app::TLogViewer*>().size();
    std::printf("platform %s, 4090 entries, %d runs\n", qPrintable(Application.platformName()),
                Runs);
    PrintTimes("open to first painted frame, wall clock", Walls);
    PrintTimes("open to first painted frame, main-thread CPU", Cpus);
    std::printf("memory: program %.1f MB, with one viewer %.1f MB (+%.1f MB); after %d viewers "
                "opened and closed %.1f MB (%d still open)\n",
                Before / 1024.0, WithOne / 1024.0, (WithOne - Before) / 1024.0, Runs,
                After / 1024.0, static_cast<int>(Left));
    if (HoldSeconds > 0) {
        app::TLogViewer* Viewer = nullptr;
        OpenAndPaint(Path, &Form, &Viewer);
        Viewer->move(0, 0);
        RunFor(HoldSeconds * 1000);
    }
    if (HoldSeconds > 0) {
        app::TLogViewer* Viewer = nullptr;
        OpenAndPaint(Path, &Form, &Viewer);
        Viewer->move(0, 0);
        RunFor(HoldSeconds * 1000);
    }

    // Logged every 15 minutes, downloaded after the interval was set to 1 minute.
    logdata::THeaderValues Later = writtenlogs::SampleHeader();
    Later.LogInterval = "1 Minutes";
    const QString Reset = Dir.filePath("interval-changed.txt");
    writtenlogs::WriteSaved(Reset.toStdString(), Later, writtenlogs::MakeEntries(4090));
    MeasureOpen("4090 entries logged every 15 minutes, header interval 1 minute", Reset, &Form,
                std::min(Runs, 5));
    const QString Gappy = Dir.filePath("gappy.txt");
    writtenlogs::WriteSaved(Gappy.toStdString(), writtenlogs::SampleHeader(),
                            GapBetweenEveryEntry());
    MeasureOpen("4090 entries with a gap between every entry", Gappy, &Form, std::min(Runs, 5));
    MeasureFollowedDownload();
    return 0;
}
