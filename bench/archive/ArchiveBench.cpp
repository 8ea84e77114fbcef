// An archive of 100 downloads of 4090 entries each (one logger, cleared after each download):
// the time each download takes to archive, the file's size per entry, and the time from
// "open this logger's history" to the viewer's first painted chart.
// Run: build/bench/archive/archive_bench [downloads [runs]]
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "app/Logger.h"
#include "app/LoggerHistory.h"
#include "app/Shell.h"
#include "archive/Archive.h"
#include "bench/BenchSupport.h"
#include "tests/archive/ArchiveSamples.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

using bench::RunFor;
using bench::ThreadCpuMs;

constexpr int EntriesPerDownload = 4090;

void PrintTimes(const char* What, std::vector<double> Times) {
    std::sort(Times.begin(), Times.end());
    std::printf("%s: min %.1f, median %.1f, max %.1f ms\n", What, Times.front(),
                Times[Times.size() / 2], Times.back());
}

// Each download starts where the previous one's entries ended: the logger was cleared.
std::vector<double> FillArchive(const std::string& Path, int Downloads) {
    std::vector<double> Times;
    protocol::DateTime Start{2014, 1, 1, 0, 0, 0, 0};
    for (int D = 0; D < Downloads; ++D) {
        const auto Records = archivesamples::Records(Start, EntriesPerDownload, D);
        QElapsedTimer Clock;
        Clock.start();
        archive::ArchiveDownload(Path, archivesamples::Header("KS-000001", "Kestro Sim"), Records,
                                 "log.txt", {2026, 8, 14, 5, 21, 0, 0});
        Times.push_back(static_cast<double>(Clock.nsecsElapsed()) / 1e6);
        Start = protocol::DateTimeFromMinutes(Records.back().Minutes + 15);
    }
    return Times;
}

struct TTiming {
    double WallMs = -1, CpuMs = -1;
};

// From choosing the logger in the list (which reads its history and works out its months)
// through "Open in Log Viewer" to the chart's first frame.
TTiming OpenHistory(app::TLoggerHistory& History) {
    QElapsedTimer Clock;
    Clock.start();
    const double CpuAtStart = ThreadCpuMs();
    History.LoggerTable->setCurrentCell(0, 0);
    app::TLogViewer* Viewer = History.OpenViewer();
    if (!Viewer) {
        std::fprintf(stderr, "no history opened\n");
        std::exit(1);
    }
    TTiming Painted;
    Viewer->Chart->OnPainted = [&] {
        if (Painted.WallMs < 0)
            Painted = {static_cast<double>(Clock.nsecsElapsed()) / 1e6, ThreadCpuMs() - CpuAtStart};
    };
    Viewer->show();
    while (Painted.WallMs < 0 && Clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    Viewer->Chart->OnPainted = nullptr;
    Viewer->close();
    return Painted;
}

} // namespace

int main(int argc, char* argv[]) {
    // As the program itself starts.
    setenv("TZ", ":/etc/localtime", 0);
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    app::SetErrorBoxHook(
        [](const QString& M) { std::fprintf(stderr, "box: %s\n", qPrintable(M)); });
    const int Downloads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int Runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir Dir;
    const std::string Path = Dir.filePath("archive.sqlite3").toStdString();

    const std::vector<double> Adds = FillArchive(Path, Downloads);
    PrintTimes("archiving one download of 4090 new entries", Adds);
    QElapsedTimer Again;
    Again.start();
    archive::ArchiveDownload(
        Path, archivesamples::Header("KS-000001", "Kestro Sim"),
        archivesamples::Records({2014, 1, 1, 0, 0, 0, 0}, EntriesPerDownload, 0), "log.txt",
        {2026, 8, 14, 5, 21, 0, 0});
    std::printf("archiving the first download again (all already there): %.1f ms\n",
                static_cast<double>(Again.nsecsElapsed()) / 1e6);
    const double Entries = static_cast<double>(Downloads) * EntriesPerDownload;
    const auto Bytes = std::filesystem::file_size(Path);
    std::printf("archive: %d downloads, %.0f entries, %.1f MB, %.1f bytes per entry\n",
                Downloads + 1, Entries, static_cast<double>(Bytes) / 1e6,
                static_cast<double>(Bytes) / Entries);

    setenv("QUORVA_COM1", "/nonexistent/quorva-bench-port", 1);
    app::TForm1 Form;
    Form.show();
    RunFor(1000);
    std::vector<double> Walls, Cpus;
    for (int I = 0; I < Runs; ++I) {
        // A fresh list each time, so the history is read from the archive every run.
        auto* History = new app::TLoggerHistory(Path, &Form);
        const TTiming T = OpenHistory(*History);
        History->close();
        Walls.push_back(T.WallMs);
        Cpus.push_back(T.CpuMs);
        RunFor(200);
    }
    std::printf("history of %.0f entries to the first painted chart, %d runs:\n", Entries, Runs);
    PrintTimes("  wall", Walls);
    PrintTimes("  main-thread CPU", Cpus);
    return 0;
}
