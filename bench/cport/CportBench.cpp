// Measures, over a pseudo-terminal at 9600 baud: the time from a reply written on the master to
// its packet handler on the main thread (median and 99th percentile), and the CPU an open,
// idle port costs. Usage: cport_bench [--packets N] [--idle-seconds S]
#include "cport/CPort.h"
#include "cport/ComPortRules.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace cport;
using Clock = std::chrono::steady_clock;

namespace {

struct TOptions {
    int Packets = 1000;
    int IdleSeconds = 30;
};

TOptions ParseOptions(int Argc, char** Argv) {
    TOptions Options;
    for (int I = 1; I + 1 < Argc; I += 2) {
        if (std::strcmp(Argv[I], "--packets") == 0)
            Options.Packets = std::max(1, std::atoi(Argv[I + 1]));
        else if (std::strcmp(Argv[I], "--idle-seconds") == 0)
            Options.IdleSeconds = std::max(1, std::atoi(Argv[I + 1]));
    }
    return Options;
}

int OpenMaster(std::string& SlavePath) {
    const int Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char Name[128];
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0 ||
        ptsname_r(Master, Name, sizeof Name) != 0) {
        std::perror("pseudo-terminal");
        std::exit(1);
    }
    SlavePath = Name;
    return Master;
}

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    auto Seconds = [](const timeval& T) { return T.tv_sec + T.tv_usec / 1e6; };
    return Seconds(Usage.ru_utime) + Seconds(Usage.ru_stime);
}

double Percentile(std::vector<double> Values, double Fraction) {
    std::sort(Values.begin(), Values.end());
    const size_t Index = std::min(Values.size() - 1, static_cast<size_t>(Fraction * Values.size()));
    return Values[Index];
}

// A 35-character reply as the logger sends it: "<", 32 hex digits, ">" and the checksum ">".
std::string Reply(int Number) {
    char Digits[40];
    std::snprintf(Digits, sizeof Digits, "%032X", Number);
    return std::string("<") + Digits + ">>";
}

std::vector<double> MeasureLatency(int Master, TComDataPacket& Packet, int Count) {
    std::vector<double> Latencies;
    bool Arrived = false;
    Clock::time_point ArrivedAt;
    Packet.OnPacket = [&](TObject*, const std::string&) {
        ArrivedAt = Clock::now();
        Arrived = true;
    };
    for (int I = 0; I < Count; ++I) {
        const std::string Text = Reply(I);
        Arrived = false;
        const auto Sent = Clock::now();
        if (write(Master, Text.data(), Text.size()) != static_cast<ssize_t>(Text.size()))
            std::exit(1);
        ServeMainThreadUntil([&] { return Arrived; });
        Latencies.push_back(std::chrono::duration<double, std::milli>(ArrivedAt - Sent).count());
        // The logger answers one command at a time; leave the line quiet in between.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return Latencies;
}

} // namespace

int main(int Argc, char** Argv) {
    const TOptions Options = ParseOptions(Argc, Argv);
    std::string SlavePath;
    const int Master = OpenMaster(SlavePath);
    SetComPortNaming({"QUORVA_COM", {}});
    setenv("QUORVA_COM1", SlavePath.c_str(), 1);

    TComPort Port;
    Port.SetEventChar('>');
    TComDataPacket Packet;
    Packet.SetStartString("<");
    Packet.SetStopString(">");
    Packet.SetSize(35);
    Packet.SetComPort(&Port);
    Port.OpenPort();

    const std::vector<double> Latencies = MeasureLatency(Master, Packet, Options.Packets);
    std::printf("latency master write -> OnPacket on the main thread, %zu packets of 35 bytes:\n",
                Latencies.size());
    std::printf("  median %.2f ms, p99 %.2f ms, max %.2f ms\n", Percentile(Latencies, 0.5),
                Percentile(Latencies, 0.99), Percentile(Latencies, 1.0));

    // The main thread stays ready to serve the port, as the program's event loop would.
    const double CpuBefore = CpuSeconds();
    const auto WallBefore = Clock::now();
    std::atomic<bool> IdleOver{false};
    std::thread Timer([&] {
        std::this_thread::sleep_for(std::chrono::seconds(Options.IdleSeconds));
        IdleOver = true;
        NotifyMainThread();
    });
    ServeMainThreadUntil([&] { return IdleOver.load(); });
    Timer.join();
    const double Wall = std::chrono::duration<double>(Clock::now() - WallBefore).count();
    const double Cpu = CpuSeconds() - CpuBefore;
    std::printf("idle open port over %.1f s: %.4f s CPU = %.4f %% of one core\n", Wall, Cpu,
                100.0 * Cpu / Wall);

    Port.ClosePort();
    Packet.SetComPort(nullptr);
    close(Master);
    return 0;
}
