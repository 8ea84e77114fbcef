#include "Measures.h"

#include "ProgramOnSim.h"
#include "app/Logger.h"

#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// Finding the logger and one full poll cycle (version and capacity) take about 6 s.
constexpr int ReadyWithinMs = 20000;

std::string ReadWhole(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return In ? Text.str() : std::string();
}

int CountLines(const std::string& Text) {
    int Lines = 0;
    for (size_t At = Text.find("\r\n"); At != std::string::npos; At = Text.find("\r\n", At + 2))
        ++Lines;
    return Lines;
}

// Where the text after the first Lines lines starts; npos when it has fewer.
size_t AfterLines(const std::string& Text, int Lines) {
    size_t At = 0;
    for (int Line = 0; Line < Lines; ++Line) {
        At = Text.find("\r\n", At);
        if (At == std::string::npos)
            return At;
        At += 2;
    }
    return At;
}

// A full memory is read as log 0 and 1 to capacity; otherwise the empty entry after the last
// one ends the download.
int RequestsFor(int Entries, int Capacity) {
    return Entries >= Capacity ? Capacity + 1 : Entries + 2;
}

void CheckFile(const std::string& FilePath, const std::string& DumpPath, TDownloadResult& R) {
    const std::string Written = ReadWhole(FilePath);
    const std::string Dump = ReadWhole(DumpPath);
    if (CountLines(Dump) != R.Entries)
        R.Problems.push_back("the logger holds " + std::to_string(CountLines(Dump)) +
                             " entries, not " + std::to_string(R.Entries));
    if (Written.empty())
        return;
    // The reply to log 0 is written under the header too, though never shown or counted.
    const size_t Body = AfterLines(Written, HeaderLines);
    const bool LogZero = Body != std::string::npos && Written.compare(Body, 2, "0 ") == 0;
    R.FileEntries = CountLines(Written) - HeaderLines - (LogZero ? 1 : 0);
    R.SameAsLogger = Written.size() >= Dump.size() &&
                     Written.compare(Written.size() - Dump.size(), Dump.size(), Dump) == 0;
}

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    auto Seconds = [](const timeval& T) { return T.tv_sec + T.tv_usec / 1e6; };
    return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
}

double Since(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

} // namespace

TDownloadResult MeasureDownload(const std::string& SimProgram, int Entries,
                                const std::string& WorkDir, int DelayMs) {
    TDownloadResult R;
    R.Entries = Entries;
    R.DelayMs = DelayMs;
    R.Capacity = CapacityFor(Entries);
    R.BoundSeconds = RequestsFor(Entries, R.Capacity) * TickSeconds;
    if (DelayMs >= 0)
        R.BoundSeconds = (Entries + 1) * std::max(TickSeconds, DelayMs / 1000.0 + ReplyWireSeconds);
    TProgramOnSim Run(SimProgram, {VersionForCapacity(R.Capacity), Entries, std::max(0, DelayMs)},
                      WorkDir);
    if (!Run.WaitForReady(R.Capacity, ReadyWithinMs)) {
        R.Problems.push_back("the program did not get ready with capacity " +
                             std::to_string(R.Capacity));
        return R;
    }
    const std::string FilePath =
        WorkDir + "/download-" + std::to_string(Entries) + "-" + std::to_string(DelayMs) + ".txt";
    app::TForm1& Form = Run.Form();
    Form.SaveNameHook = [FilePath] { return std::optional<std::string>(FilePath); };

    const Clock::time_point Start = Clock::now();
    Form.ReadLogsButton->click();
    if (!Form.Link->Downloading()) {
        R.Problems.push_back("Get Logs started no download");
        return R;
    }
    // Generous: a download three times slower than its bound still finishes and is reported.
    const int Limit = static_cast<int>(R.BoundSeconds * 3000) + 10000;
    R.Finished = Run.WaitFor([&] { return !Form.Link->Downloading(); }, Limit, 1);
    R.WallSeconds = Since(Start);
    // The simulator rewrites its dump when its memory changes; give it one of its rounds.
    Run.RunFor(100);
    CheckFile(FilePath, Run.DumpPath(), R);
    for (const std::string& Box : Run.Boxes())
        R.Problems.push_back(Box);
    return R;
}

TIdleResult MeasureIdle(const std::string& SimProgram, int Seconds, const std::string& WorkDir,
                        bool OwnPortList) {
    TIdleResult R;
    R.Seconds = Seconds;
    R.OwnPortList = OwnPortList;
    TLoggerSetup Setup;
    Setup.OwnPortList = OwnPortList;
    TProgramOnSim Run(SimProgram, Setup, WorkDir);
    if (!Run.WaitForReady(511, ReadyWithinMs)) {
        R.Problems.push_back("the program did not get ready");
        return R;
    }
    // One more poll cycle, so start-up work is over before the clock starts.
    Run.RunFor(5500);
    const double CpuStart = CpuSeconds();
    const Clock::time_point Start = Clock::now();
    Run.RunFor(Seconds * 1000);
    const double Cpu = CpuSeconds() - CpuStart;
    R.CpuPercent = 100.0 * Cpu / Since(Start);
    // Still ready means the poll kept being answered the whole time.
    R.StayedReady = Run.Ready();
    for (const std::string& Box : Run.Boxes())
        R.Problems.push_back(Box);
    return R;
}

double PeakResidentMb() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

} // namespace bench
