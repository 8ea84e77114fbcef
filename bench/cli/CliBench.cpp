// kestro download of full logs from the simulator running at the line's pace (--wire-time),
// paced by the 80 ms tick and with --fast, against two yardsticks: (entries + 1) x 80 ms for
// the tick, and the wire bound (every request's and reply's characters back to back at 9600
// baud 8N1) for --fast. The times come from the simulator's transcript: from the first byte of
// the request for entry 0 to the last byte of the last reply.
// Usage: cli_bench [--entries 511,2040,4090] [--modes paced,fast] [--keep DIR]
//   --keep leaves each run's simulator transcript in DIR for a look.
#include "SimProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr double CharMs = 10.0 * 1000.0 / 9600.0;
constexpr int ReplyChars = 35;
constexpr double PacedTarget = 0.03; // within 3 % of (entries + 1) x 80 ms
constexpr double FastTarget = 1.10;  // within 10 % of the wire bound

struct TLine {
    double Ms = 0;
    std::string What; // "RX <l0001>>A1", "TX <...>>"
};

std::vector<TLine> ReadTranscript(const std::string& path) {
    std::vector<TLine> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        std::istringstream words(text);
        TLine line;
        double seconds = 0;
        if (!(words >> seconds))
            continue;
        line.Ms = seconds * 1000.0;
        std::getline(words >> std::ws, line.What);
        lines.push_back(line);
    }
    return lines;
}

// Characters of the command a "RX ..." line records.
double CommandChars(const std::string& what) {
    const std::size_t end = what.find(' ', 3);
    return static_cast<double>((end == std::string::npos ? what.size() : end) - 3);
}

struct TMeasure {
    int Requests = 0;
    double Ms = 0;
    double WireMs = 0;
};

// From the request for entry 0 (the last "l0000" before "l0001") to the last reply's end.
std::optional<TMeasure> MeasureDownload(const std::vector<TLine>& lines) {
    std::size_t first = lines.size(), last = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].What.rfind("RX <l0001>", 0) == 0) {
            for (std::size_t j = i; j-- > 0;)
                if (lines[j].What.rfind("RX <l0000>", 0) == 0) {
                    first = j;
                    break;
                }
            break;
        }
    }
    if (first == lines.size())
        return std::nullopt;
    TMeasure m;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (lines[i].What.rfind("RX <l", 0) == 0) {
            ++m.Requests;
            last = i;
            m.WireMs += (CommandChars(lines[i].What) + ReplyChars) * CharMs;
        }
    }
    // The reply to the last request: it is noted when made and then takes 35 characters.
    double endMs = lines[last].Ms;
    for (std::size_t i = last + 1; i < lines.size(); ++i)
        if (lines[i].What.rfind("TX ", 0) == 0) {
            endMs = lines[i].Ms;
            break;
        }
    // The first request is noted once its last character is in.
    const double startMs = lines[first].Ms - CommandChars(lines[first].What) * CharMs;
    m.Ms = endMs + ReplyChars * CharMs - startMs;
    return m;
}

int RunKestro(const std::vector<std::string>& args) {
    std::vector<std::string> words{KESTRO_PROGRAM};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, KESTRO_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Version(int entries) {
    return entries <= 511 ? "KV1.0 511" : entries <= 2040 ? "KV1.02040" : "KV1.04090";
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        items.push_back(item);
    return items;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> entries = {"511", "2040", "4090"}, modes = {"paced", "fast"};
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--entries")
            entries = Split(argv[i + 1]);
        else if (std::string(argv[i]) == "--modes")
            modes = Split(argv[i + 1]);
        else if (std::string(argv[i]) == "--keep")
            keep = argv[i + 1];
    }
    // Only the simulator's pseudo-terminal may be reached.
    for (int n = 1; n <= 10; ++n)
        setenv(("QUORVA_COM" + std::to_string(n)).c_str(), "/nonexistent/kestro-bench-port", 1);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("cli_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::printf("%-8s %-6s %9s %11s %11s %11s %8s %8s\n", "entries", "mode", "requests",
                "measured s", "tick s", "wire s", "vs tick", "vs wire");
    bool allMet = true;
    for (const std::string& count : entries) {
        const int n = std::atoi(count.c_str());
        for (const std::string& mode : modes) {
            const std::string transcript = (dir / "transcript.txt").string();
            const std::string log = (dir / "log.txt").string();
            bench::TSimProcess sim;
            sim.Start(KESTRO_SIM_PROGRAM, {"--wire-time", "--firmware", Version(n), "--logs", count,
                                           "--clock", "14000000", "--transcript", transcript});
            std::vector<std::string> args = {"download", "-o",     log,
                                             "--quiet",  "--port", sim.Path()};
            if (mode == "fast")
                args.push_back("--fast");
            const int code = RunKestro(args);
            sim.Stop();
            const auto m = MeasureDownload(ReadTranscript(transcript));
            if (!keep.empty())
                std::filesystem::copy_file(transcript,
                                           std::filesystem::path(keep) /
                                               ("transcript-" + count + "-" + mode + ".txt"),
                                           std::filesystem::copy_options::overwrite_existing);
            if (code != 0 || !m) {
                std::printf("%-8s %-6s failed (exit %d)\n", count.c_str(), mode.c_str(), code);
                allMet = false;
                continue;
            }
            const double tickMs = (n + 1) * 80.0;
            const double vsTick = m->Ms / tickMs, vsWire = m->Ms / m->WireMs;
            const bool met =
                mode == "fast" ? vsWire <= FastTarget : std::abs(vsTick - 1.0) <= PacedTarget;
            allMet = allMet && met;
            std::printf("%-8s %-6s %9d %11.2f %11.2f %11.2f %8.3f %8.3f %s\n", count.c_str(),
                        mode.c_str(), m->Requests, m->Ms / 1000, tickMs / 1000, m->WireMs / 1000,
                        vsTick, vsWire, met ? "met" : "MISSED");
            std::fflush(stdout);
        }
    }
    std::filesystem::remove_all(dir);
    return allMet ? 0 : 1;
}
