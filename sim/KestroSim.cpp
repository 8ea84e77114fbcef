// kestro-sim: serves a simulated logger on a new pseudo-terminal (or a serial device) until
// it is interrupted or its line goes away.

#include "sim/Options.h"
#include "sim/PtyRunner.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

// Written beside the target and renamed, so a reader never sees half a dump.
void WriteDump(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out)
            return;
    }
    std::rename(tmp.c_str(), path.c_str());
}

std::unique_ptr<sim::PtyRunner> MakeRunner(const sim::Options& o) {
    if (!o.device.empty())
        return std::make_unique<sim::PtyRunner>(sim::Line::OpenDevice(o.device), o.config);
    return std::make_unique<sim::PtyRunner>(o.config);
}

int Serve(const sim::Options& o) {
    // Declared before the runner, so it outlives the runner's thread that writes to it.
    std::ofstream transcript;
    std::unique_ptr<sim::PtyRunner> runner = MakeRunner(o);
    if (!o.transcript.empty()) {
        transcript.open(o.transcript, std::ios::trunc);
        if (!transcript)
            throw std::runtime_error("cannot write " + o.transcript);
        runner->SetTranscriptSink([&transcript](const std::string& line) {
            transcript << line << '\n';
            transcript.flush();
        });
    }
    if (!o.link.empty())
        sim::MakeLink(runner->Path(), o.link);
    std::cout << runner->Path() << std::endl;

    runner->Start();
    uint64_t dumped = ~0ULL;
    while (!g_stop && !runner->HungUp()) {
        if (!o.dumpLog.empty()) {
            const uint64_t gen =
                runner->Inspect([](const sim::Kestro& k) { return k.Log().Generation(); });
            if (gen != dumped) {
                WriteDump(o.dumpLog, runner->LogDump());
                dumped = gen;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    runner->Stop();
    if (!o.dumpLog.empty())
        WriteDump(o.dumpLog, runner->LogDump());
    if (!o.link.empty())
        sim::RemoveLink(o.link);
    const sim::Counters c = runner->Count();
    std::cerr << "kestro-sim: " << c.valid << " commands answered, " << c.badChecksum
              << " bad checksums, " << c.unknown << " unknown, " << c.malformed << " malformed"
              << (runner->HungUp() ? ", line closed" : "") << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = sim::ParseOptions({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "kestro-sim: " << error << "\n\n" << sim::UsageText();
        return 2;
    }
    if (options->help) {
        std::cout << sim::UsageText();
        return 0;
    }
    if (options->version) {
        std::cout << "kestro-sim " QUORVA_VERSION "\n";
        return 0;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return Serve(*options);
    } catch (const std::exception& e) {
        std::cerr << "kestro-sim: " << e.what() << std::endl;
        return 1;
    }
}
