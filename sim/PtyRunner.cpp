#include "sim/PtyRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

constexpr int kTickMs = 100; // how often the log memory catches up with the clock
constexpr int kHandOverMs = 20;
constexpr int kHangUpGraceMs = 500;
// One character of 10 bits (start, 8 data, stop) at 9600 baud.
constexpr std::chrono::nanoseconds kCharTime{1'000'000'000LL * 10 / 9600};

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

PtyRunner::PtyRunner(Config config, Kestro::SteadyMs steadyMs)
    : PtyRunner(Line::OpenPty(), std::move(config), std::move(steadyMs)) {}

PtyRunner::PtyRunner(Line line, Config config, Kestro::SteadyMs steadyMs)
    : line_(std::move(line)), path_(line_.Path()), wireTime_(config.wireTime),
      kestro_(std::move(config), std::move(steadyMs)) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
}

PtyRunner::~PtyRunner() {
    Stop();
    close(wake_[0]);
    close(wake_[1]);
}

void PtyRunner::Start() {
    if (thread_.joinable() || !line_.IsOpen())
        return;
    char drain[64];
    while (read(wake_[0], drain, sizeof drain) > 0) {
    }
    thread_ = std::thread([this] { Run(); });
}

void PtyRunner::Stop() {
    if (!thread_.joinable())
        return;
    Wake();
    thread_.join();
}

void PtyRunner::Wake() {
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(wake_[1], &c, 1);
}

bool PtyRunner::WaitStop(int ms) {
    pollfd p{wake_[0], POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

bool PtyRunner::WaitStopUntil(std::chrono::steady_clock::time_point when) {
    using namespace std::chrono;
    for (;;) {
        const auto left = duration_cast<nanoseconds>(when - steady_clock::now()).count();
        if (left <= 0)
            return false;
        timespec ts{static_cast<time_t>(left / 1'000'000'000),
                    static_cast<long>(left % 1'000'000'000)};
        pollfd p{wake_[0], POLLIN, 0};
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool PtyRunner::AwaitArrival(size_t bytes) {
    if (!wireTime_)
        return false;
    // The pty hands over a whole command at once; on the real line its characters follow
    // one another, so the last one is in only after all of them have been shifted through.
    rxDone_ = std::max(rxDone_, std::chrono::steady_clock::now()) +
              kCharTime * static_cast<long long>(bytes);
    return WaitStopUntil(rxDone_);
}

WriteResult PtyRunner::WriteBytes(const std::string& bytes, bool& stop) {
    if (!wireTime_)
        return WriteAll(line_.Fd(), bytes);
    // Each character is complete on the line one character time after the one before it.
    auto next = std::chrono::steady_clock::now();
    for (char c : bytes) {
        next += kCharTime;
        if ((stop = WaitStopUntil(next)))
            return WriteResult::Written;
        if (const WriteResult w = WriteAll(line_.Fd(), std::string(1, c));
            w != WriteResult::Written)
            return w;
    }
    return WriteResult::Written;
}

void PtyRunner::Run() {
    lastInputMs_ = MonotonicMs();
    while (Serve()) {
    }
}

bool PtyRunner::Serve() {
    pollfd fds[2] = {{line_.Fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const bool partial = Inspect([](const Kestro& k) { return k.HasPartial(); });
    if (poll(fds, 2, partial ? kIdleFlushMs / 4 : kTickMs) < 0 && errno != EINTR)
        return false;
    if (fds[1].revents & POLLIN)
        return false;
    Output out;
    if (fds[0].revents & POLLIN) {
        char buf[256];
        const ssize_t n = read(line_.Fd(), buf, sizeof buf);
        if (n > 0) {
            if (AwaitArrival(static_cast<size_t>(n)))
                return false;
            lastInputMs_ = MonotonicMs();
            out = Modify([&](Kestro& k) { return k.FeedTimed({buf, static_cast<size_t>(n)}); });
        }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
        // A device that went away; a pty keeps its slave held, so this is not the program.
        return !WaitStop(kTickMs);
    } else if (partial && MonotonicMs() - lastInputMs_ >= kIdleFlushMs) {
        out = Modify([](Kestro& k) { return k.Flush(); });
    } else {
        Modify([](Kestro& k) {
            k.Tick();
            return 0;
        });
    }
    return Play(out);
}

// Writes a reply as its chunks say; false when the thread is to end.
bool PtyRunner::Play(const Output& out) {
    for (const Chunk& c : out.chunks) {
        if (c.delayMs > 0 && WaitStop(c.delayMs))
            return false;
        bool stop = false;
        const WriteResult w = WriteBytes(c.bytes, stop);
        if (stop)
            return false;
        if (w != WriteResult::Written) {
            Modify([&](Kestro& k) {
                k.Remark(w == WriteResult::Full ? "LOST nobody reads the line" : "LOST line gone");
                return 0;
            });
            break;
        }
    }
    if (out.hangUp) {
        // Closing a pty discards what the program has not read yet, the last reply included.
        // The pty hands written bytes over to the slave a moment later, hence the first wait.
        bool stop = WaitStop(kHandOverMs);
        for (int waited = 0; !stop && line_.Unread() > 0 && waited < kHangUpGraceMs; waited += 5)
            stop = WaitStop(5);
        if (!line_.IsPty())
            tcdrain(line_.Fd());
        line_.Close();
        hungUp_ = true;
        return false;
    }
    return true;
}

Counters PtyRunner::Count() const {
    return Inspect([](const Kestro& k) { return k.Count(); });
}

std::vector<std::string> PtyRunner::LogLines() const {
    return Inspect([](const Kestro& k) {
        std::vector<std::string> lines;
        for (int n = 1; n <= k.LogCount(); ++n)
            lines.push_back(LogLine(n, *k.Log().At(n)));
        return lines;
    });
}

std::string PtyRunner::LogDump() const {
    return Inspect([](const Kestro& k) { return k.LogDump(); });
}

std::vector<std::string> PtyRunner::Transcript() const {
    return Inspect([](const Kestro& k) {
        return std::vector<std::string>(k.Transcript().begin(), k.Transcript().end());
    });
}

void PtyRunner::SetTranscriptSink(std::function<void(const std::string&)> sink) {
    Modify([&](Kestro& k) {
        k.SetTranscriptSink(std::move(sink));
        return 0;
    });
}

} // namespace sim
