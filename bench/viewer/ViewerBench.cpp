// Time from "open this log" to the chart's first painted frame for a 4090-entry log, and the
// memory the viewer adds to the running program.
// Run: build/bench/viewer/viewer_bench [runs [seconds to keep a viewer open]]
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "app/Logger.h"
#include "app/Shell.h"
#include "tests/logdata/WrittenLogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

long RssKb() {
    std::ifstream Status("/proc/self/status");
    std::string Key;
    long Value = 0;
    while (Status >> Key) {
        if (Key == "VmRSS:") {
            Status >> Value;
            return Value;
        }
        Status.ignore(1 << 10, '\n');
    }
    return 0;
}

void RunFor(int Milliseconds) {
    QElapsedTimer T;
    T.start();
    while (T.elapsed() < Milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

double OpenAndPaint(const QString& Path, QWidget* Parent, app::TLogViewer** Opened) {
    QElapsedTimer Clock;
    Clock.start();
    app::TLogViewer* Viewer = app::TLogViewer::OpenSavedLog(Path, Parent);
    if (!Viewer) {
        std::fprintf(stderr, "the log did not open\n");
        std::exit(1);
    }
    qint64 PaintedNs = -1;
    Viewer->Chart->OnPainted = [&] {
        if (PaintedNs < 0)
            PaintedNs = Clock.nsecsElapsed();
    };
    Viewer->show();
    while (PaintedNs < 0 && Clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    Viewer->Chart->OnPainted = nullptr;
    *Opened = Viewer;
    return static_cast<double>(PaintedNs) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    app::SetErrorBoxHook(
        [](const QString& M) { std::fprintf(stderr, "box: %s\n", qPrintable(M)); });
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

    std::vector<double> Times;
    long WithOne = 0;
    for (int I = 0; I < Runs; ++I) {
        app::TLogViewer* Viewer = nullptr;
        Times.push_back(OpenAndPaint(Path, &Form, &Viewer));
        RunFor(300);
        if (I == 0)
            WithOne = RssKb();
        Viewer->close();
        RunFor(100);
    }
    const long After = RssKb();
    std::printf("platform %s, 4090 entries, %d runs\n", qPrintable(Application.platformName()),
                Runs);
    std::printf("open to first painted frame: first %.1f ms", Times.front());
    if (Times.size() > 1) {
        std::vector<double> Rest(Times.begin() + 1, Times.end());
        std::sort(Rest.begin(), Rest.end());
        std::printf(", then median %.1f ms, max %.1f ms", Rest[Rest.size() / 2], Rest.back());
    }
    std::printf("\nmemory: program %.1f MB, with one viewer %.1f MB (+%.1f MB); after %d viewers "
                "opened and closed %.1f MB\n",
                Before / 1024.0, WithOne / 1024.0, (WithOne - Before) / 1024.0, Runs,
                After / 1024.0);
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
    return 0;
}
