// Measures the real program, offscreen, against the simulated logger on a pseudo-terminal:
// full log downloads against their lower bound, idle-polling CPU, and peak resident memory.
// Usage: download_bench [--entries 511,2040,4090] [--delays 0,120,300] [--idle-seconds 60]
//                       [--keep-files]
//   --entries none skips the downloads, --delays none the 511-entry downloads from a logger
//   that waits before each reply, --idle-seconds 0 the idle measurement; --keep-files leaves
//   the downloaded files for a look.
#include "Measures.h"

#include "app/Shell.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef KESTRO_SIM_PROGRAM
#error "KESTRO_SIM_PROGRAM must name the built simulator"
#endif

namespace {

constexpr double RatioTarget = 1.03;
// A slow logger's download: requests follow its replies, each seen a hand-over quiet time late.
constexpr double DelayRatioTarget = 1.15;
constexpr int DelayEntries = 511;
constexpr double CpuTargetPercent = 1.0;
constexpr double OwnPortsExtraTarget = 0.3;
constexpr double MemoryTargetMb = 80.0;

struct TOptions {
    std::vector<int> Entries = {511, 2040, 4090};
    std::vector<int> Delays = {0, 120, 300};
    int IdleSeconds = 60;
    bool KeepFiles = false;
};

std::optional<int> Number(const std::string& Text, int Low, int High) {
    char* End = nullptr;
    const long Value = std::strtol(Text.c_str(), &End, 10);
    if (Text.empty() || *End != '\0' || Value < Low || Value > High)
        return std::nullopt;
    return static_cast<int>(Value);
}

std::optional<std::vector<int>> EntryList(const std::string& Text) {
    std::vector<int> List;
    if (Text == "none")
        return List;
    std::istringstream In(Text);
    for (std::string Item; std::getline(In, Item, ',');) {
        const auto N = Number(Item, 0, 4090);
        if (!N)
            return std::nullopt;
        List.push_back(*N);
    }
    return List;
}

std::optional<TOptions> ParseOptions(int Argc, char** Argv) {
    TOptions Options;
    for (int I = 1; I < Argc; I += 2) {
        const std::string Name = Argv[I];
        const std::string Value = I + 1 < Argc ? Argv[I + 1] : "";
        if (Name == "--keep-files") {
            Options.KeepFiles = true;
            --I; // takes no value
        } else if (Name == "--entries") {
            const auto List = EntryList(Value);
            if (!List)
                return std::nullopt;
            Options.Entries = *List;
        } else if (Name == "--delays") {
            const auto List = EntryList(Value);
            if (!List)
                return std::nullopt;
            Options.Delays = *List;
        } else if (Name == "--idle-seconds") {
            const auto N = Number(Value, 0, 3600);
            if (!N)
                return std::nullopt;
            Options.IdleSeconds = *N;
        } else {
            return std::nullopt;
        }
    }
    return Options;
}

bool Row(const std::string& What, const std::string& Measured, const std::string& Target,
         bool Pass) {
    std::printf("%-40s %-28s %-16s %s\n", What.c_str(), Measured.c_str(), Target.c_str(),
                Pass ? "pass" : "FAIL");
    return Pass;
}

std::string Format(const char* Pattern, double A, double B = 0) {
    char Text[96];
    std::snprintf(Text, sizeof Text, Pattern, A, B);
    return Text;
}

void PrintProblems(const std::vector<std::string>& Problems) {
    for (const std::string& Problem : Problems)
        std::printf("    ! %s\n", Problem.c_str());
}

bool DownloadRows(const bench::TDownloadResult& R) {
    std::string Name =
        "download " + std::to_string(R.Entries) + " of " + std::to_string(R.Capacity);
    if (R.DelayMs >= 0)
        Name += ", reply +" + std::to_string(R.DelayMs) + " ms";
    const double Target = R.DelayMs >= 0 ? DelayRatioTarget : RatioTarget;
    const double Ratio = R.BoundSeconds > 0 ? R.WallSeconds / R.BoundSeconds : 0;
    bool Pass = Row(Name + Format(": wall / %.2f s", R.BoundSeconds),
                    R.Finished ? Format("%.3f s = %.4fx", R.WallSeconds, Ratio) : "did not end",
                    Format("<= %.2fx", Target), R.Finished && Ratio <= Target);
    const std::string Held = std::to_string(R.FileEntries) + " lines" +
                             (R.SameAsLogger ? ", = logger" : ", differ from logger");
    Pass &= Row(Name + ": entries in file", Held, std::to_string(R.Entries) + ", = logger",
                R.FileEntries == R.Entries && R.SameAsLogger && R.Problems.empty());
    PrintProblems(R.Problems);
    return Pass;
}

bool IdleRow(const bench::TIdleResult& R) {
    const bool Pass =
        Row("idle CPU, " + std::to_string(R.Seconds) + " s, " +
                (R.OwnPortList ? "PC's own port list" : "every COM pre-set"),
            Format("%.3f %% of a core", R.CpuPercent) + (R.StayedReady ? "" : ", not ready"),
            Format("< %.0f %%", CpuTargetPercent),
            R.StayedReady && R.CpuPercent < CpuTargetPercent && R.Problems.empty());
    PrintProblems(R.Problems);
    return Pass;
}

std::string MakeWorkDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "quorva-bench-XXXXXX").string();
    if (!mkdtemp(Pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return Pattern;
}

} // namespace

int main(int Argc, char** Argv) {
    const auto Options = ParseOptions(Argc, Argv);
    if (!Options) {
        std::fprintf(stderr,
                     "usage: download_bench [--entries N,N,...|none] [--delays MS,MS,...|none]\n"
                     "                      [--idle-seconds S] [--keep-files]\n"
                     "  N from 0 to 4090; MS reply delays for 511-entry downloads; S from 0 (skip) "
                     "to 3600\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication Application(Argc, Argv);
    app::InitApplication(Application);
    const std::string WorkDir = MakeWorkDir();

    std::vector<bench::TDownloadResult> Downloads;
    std::vector<bench::TIdleResult> Idle;
    try {
        // Idle first: nothing a download leaves behind may count against it.
        if (Options->IdleSeconds > 0)
            for (bool OwnPortList : {false, true})
                Idle.push_back(bench::MeasureIdle(KESTRO_SIM_PROGRAM, Options->IdleSeconds, WorkDir,
                                                  OwnPortList));
        for (int Entries : Options->Entries)
            Downloads.push_back(bench::MeasureDownload(KESTRO_SIM_PROGRAM, Entries, WorkDir));
        for (int Delay : Options->Delays)
            Downloads.push_back(
                bench::MeasureDownload(KESTRO_SIM_PROGRAM, DelayEntries, WorkDir, Delay));
    } catch (const std::exception& E) {
        std::fprintf(stderr, "download_bench: %s\n", E.what());
        std::filesystem::remove_all(WorkDir);
        return 1;
    }
    if (Options->KeepFiles)
        std::printf("files kept in %s\n", WorkDir.c_str());
    else
        std::filesystem::remove_all(WorkDir);

    std::printf("\n%-40s %-28s %-16s %s\n", "measurement", "measured", "target", "result");
    bool Pass = true;
    for (const bench::TDownloadResult& R : Downloads)
        Pass &= DownloadRows(R);
    for (const bench::TIdleResult& R : Idle)
        Pass &= IdleRow(R);
    // Looking at the PC's ports once a second must cost next to nothing.
    if (Idle.size() == 2) {
        const double Extra = Idle[1].CpuPercent - Idle[0].CpuPercent;
        Pass &= Row("idle CPU, own port list minus pre-set", Format("%+.3f points", Extra),
                    Format("< %.1f points", OwnPortsExtraTarget), Extra < OwnPortsExtraTarget);
    }
    const double Peak = bench::PeakResidentMb();
    Pass &= Row("peak resident memory", Format("%.1f MB", Peak),
                Format("< %.0f MB", MemoryTargetMb), Peak < MemoryTargetMb);
    return Pass ? 0 : 1;
}
