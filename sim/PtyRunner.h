#pragma once

// Serves a simulated logger on a tty from its own thread.
//
//   sim::PtyRunner runner(config);          // opens a new pseudo-terminal
//   runner.Start();
//   open(runner.Path().c_str(), ...);       // the program's side
//   ...
//   runner.Stop();                          // also done by the destructor
//
// All accessors may be called from any thread while the runner serves.

#include "sim/Kestro.h"
#include "sim/Line.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class PtyRunner {
public:
    // A command left incomplete this long is judged as it stands.
    static constexpr int kIdleFlushMs = 200;

    explicit PtyRunner(Config config = {}, Kestro::SteadyMs steadyMs = {});
    // Serves a line opened by the caller (a serial device, for instance).
    PtyRunner(Line line, Config config, Kestro::SteadyMs steadyMs = {});
    PtyRunner(const PtyRunner&) = delete;
    PtyRunner& operator=(const PtyRunner&) = delete;
    ~PtyRunner();

    void Start();
    // Returns once the thread has ended; the line stays open until destruction.
    void Stop();

    const std::string& Path() const { return path_; }
    bool HungUp() const { return hungUp_; }

    // Runs f on the logger under the runner's lock.
    template <class F> auto Inspect(F&& f) const {
        std::lock_guard lock(mutex_);
        return f(static_cast<const Kestro&>(kestro_));
    }
    template <class F> auto Modify(F&& f) {
        std::lock_guard lock(mutex_);
        return f(kestro_);
    }
    Counters Count() const;
    // What the log memory holds, entries 1 to count, as the program's log lines.
    std::vector<std::string> LogLines() const;
    std::string LogDump() const;
    std::vector<std::string> Transcript() const;
    // Called on the runner's thread with every transcript line.
    void SetTranscriptSink(std::function<void(const std::string&)> sink);

private:
    void Run();
    bool Serve(); // one wait and what follows it; false to end the thread
    bool Play(const Output& out);
    bool WaitStop(int ms); // true when asked to stop
    bool WaitStopUntil(std::chrono::steady_clock::time_point when);
    // With wire time: holds received bytes until they would have come in at 9600 baud.
    bool AwaitArrival(size_t bytes);
    // Sets stop when asked to stop while pacing the bytes out.
    WriteResult WriteBytes(const std::string& bytes, bool& stop);
    void Wake();

    Line line_;
    std::string path_;
    bool wireTime_; // before kestro_, which takes the config over
    std::chrono::steady_clock::time_point rxDone_{};
    mutable std::mutex mutex_;
    Kestro kestro_;
    std::thread thread_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> hungUp_ = false;
    int64_t lastInputMs_ = 0;
};

} // namespace sim
