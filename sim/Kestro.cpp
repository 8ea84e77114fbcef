#include "sim/Kestro.h"

#include "sim/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

constexpr size_t kTranscriptLines = 100000;
constexpr int kDefaultSpacing = 15; // preload spacing when logging is off or out of range

std::string Padded(std::string text) {
    text.resize(16, ' ');
    return text;
}

int64_t SteadyNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Control characters and bytes above 126 go into the transcript as \xHH.
std::string Printable(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u < 127 && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

// The program reads words above 0x4000 as negative, so a reading stays at or below 16384.
int16_t Reading(int millivolts) {
    return static_cast<int16_t>(std::clamp(millivolts, -32768, 16384));
}

// A rise of up to 200 mV over eight hours from noon every second day (the logger's clock):
// about four of those hours lie above a band that the base reading sits well inside.
int DriftMv(int64_t minutes) {
    constexpr int64_t Cycle = 2 * 1440, Start = 1440 - 720, Length = 8 * 60, Peak = 200;
    const int64_t t = ((minutes % Cycle) + Cycle) % Cycle - Start;
    if (t < 0 || t >= Length)
        return 0;
    return static_cast<int>(Peak * (t < Length / 2 ? t : Length - t) / (Length / 2));
}

bool Every(int period, int count) {
    return period > 0 && count % period == 0;
}

} // namespace

int Kestro::CapacityForVersion(std::string_view version) {
    if (version.size() >= 6 && version[5] == '2')
        return 2040;
    if (version.size() >= 6 && version[5] == '4')
        return 4090;
    return 511;
}

Kestro::Kestro(Config config, SteadyMs steadyMs)
    : config_(std::move(config)), steadyMs_(steadyMs ? std::move(steadyMs) : SteadyMs(SteadyNow)),
      log_(CapacityForVersion(config_.version)) {
    startMs_ = Now();
    name_ = Padded(config_.name);
    serial_ = Padded(config_.serial);
    version_ = Padded(config_.version);
    for (size_t i = 0; i < 3; ++i)
        descriptions_[i] = Padded(config_.descriptions[i]);
    material_ = config_.material;
    zones_ = config_.zones;
    logInterval_ = config_.logInterval;
    cyclic_ = config_.cyclic;
    refType_ = config_.refType;
    recordRng_ = config_.seed * 0x9E3779B97F4A7C15ULL + 1;
    readingRng_ = config_.seed * 0xD1B54A32D192ED03ULL + 7;
    jitterRng_ = config_.seed * 0xA24BAED4963EE407ULL + 3;
    steadyBase_ = startMs_;
    clockBaseMs_ = config_.clockMinutes ? *config_.clockMinutes * 60000 : PcClockMs();
    Preload(config_.logs);
    nextLogMinute_ = ClockMinutes() + logInterval_;
}

int64_t Kestro::ClockMinutes() const {
    const int64_t ms = clockBaseMs_ + (Now() - steadyBase_);
    return ms >= 0 ? ms / 60000 : -((-ms + 59999) / 60000);
}

void Kestro::SetClock(int64_t minutes) {
    clockBaseMs_ = minutes * 60000;
    steadyBase_ = Now();
    nextLogMinute_ = minutes + logInterval_;
}

bool Kestro::Erasing() const {
    return Now() < erasingUntil_;
}

uint32_t Kestro::Random(uint64_t& state, uint32_t range) const {
    // splitmix64: the same numbers on every platform, so --seed reproduces a log.
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return range == 0 ? 0 : static_cast<uint32_t>(z % range);
}

LogRecord Kestro::MakeRecord(int64_t minutes) {
    LogRecord r;
    r.minutes = minutes;
    for (int z = 0; z < 3 && z < zones_; ++z) { // zones not monitored log 0
        const int base = config_.zoneMillivolts[static_cast<size_t>(z)] +
                         (z + 1 == config_.driftZone ? DriftMv(minutes) : 0);
        r.values[static_cast<size_t>(2 * z)] = Reading(base - int(Random(recordRng_, 13)));
        r.values[static_cast<size_t>(2 * z + 1)] = Reading(base + int(Random(recordRng_, 13)));
    }
    return r;
}

void Kestro::Preload(int count) {
    count = std::clamp(count, 0, log_.Capacity());
    if (count == 0)
        return;
    const int spacing = logInterval_ > 0 && logInterval_ <= 5000 ? logInterval_ : kDefaultSpacing;
    // A stamp of 0 would read as an empty slot, so the oldest record is kept after the epoch.
    const int64_t first = std::max<int64_t>(1, ClockMinutes() - int64_t(count - 1) * spacing);
    for (int i = 0; i < count; ++i)
        log_.Add(MakeRecord(first + int64_t(i) * spacing), cyclic_);
}

void Kestro::LogNextNow() {
    const int spacing = logInterval_ > 0 && logInterval_ <= 5000 ? logInterval_ : kDefaultSpacing;
    const LogRecord* last = log_.At(log_.Count());
    const int64_t minutes = std::max(nextLogMinute_, last ? last->minutes + spacing : 1);
    nextLogMinute_ = minutes + spacing;
    const LogRecord record = MakeRecord(minutes);
    Note(log_.Add(record, cyclic_) ? "LOGGED" : "LOG FULL", LogLine(log_.Count(), record));
}

void Kestro::Tick() {
    if (logInterval_ <= 0)
        return;
    const int64_t now = ClockMinutes();
    if (nextLogMinute_ > now)
        return;
    if (cyclic_) {
        // After a long gap only the last capacity records can still be in memory.
        const int64_t behind = (now - nextLogMinute_) / logInterval_;
        if (behind > log_.Capacity())
            nextLogMinute_ += (behind - log_.Capacity()) * logInterval_;
    }
    for (; nextLogMinute_ <= now && (cyclic_ || !log_.Full()); nextLogMinute_ += logInterval_)
        log_.Add(MakeRecord(nextLogMinute_), cyclic_);
    // A full memory without cyclic logging lets the intervals pass unrecorded.
    if (nextLogMinute_ <= now)
        nextLogMinute_ += ((now - nextLogMinute_) / logInterval_ + 1) * logInterval_;
}

void Kestro::Note(std::string_view what, std::string_view bytes) {
    const int64_t t = Now() - startMs_;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lld.%03lld ", static_cast<long long>(t / 1000),
                  static_cast<long long>(t % 1000));
    std::string line = stamp + std::string(what);
    if (!bytes.empty())
        line += " " + Printable(bytes);
    if (sink_)
        sink_(line);
    transcript_.push_back(std::move(line));
    if (transcript_.size() > kTranscriptLines)
        transcript_.pop_front();
}

std::string Kestro::Feed(std::string_view bytes) {
    std::string out;
    for (const Chunk& c : FeedTimed(bytes).chunks)
        out += c.bytes;
    return out;
}

Output Kestro::FeedTimed(std::string_view bytes) {
    Tick();
    return Handle(reader_.Push(bytes));
}

Output Kestro::Flush() {
    Tick();
    return Handle(reader_.Flush());
}

Output Kestro::Handle(const std::vector<Received>& received) {
    Output out;
    for (const Received& r : received)
        HandleOne(r, out);
    return out;
}

void Kestro::HandleOne(const Received& r, Output& out) {
    if (r.kind == Received::Malformed) {
        ++counters_.malformed;
        Note("REJECT malformed", r.raw);
        return;
    }
    if (r.kind == Received::BadChecksum) {
        ++counters_.badChecksum;
        Note("REJECT checksum", r.raw);
        return;
    }
    // A logger that is erasing, silent or gone does not carry out what it hears.
    if (hungUp_)
        return;
    if (Erasing()) {
        ++counters_.erasing;
        Note("ERASING", r.raw);
        return;
    }
    if (Now() < restartingUntil_) {
        Note("RESTARTING", r.raw);
        return;
    }
    const Faults& f = config_.faults;
    if (f.restartAt > 0 && !restarted_ && r.body.size() == 5 && r.body[0] == 'l' &&
        std::strtol(r.body.c_str() + 1, nullptr, 16) == f.restartAt) {
        restarted_ = true;
        log_.KeepOldest(f.restartLogs);
        restartingUntil_ = Now() + f.restartSilenceMs;
        Note("RESTART", r.raw);
        return;
    }
    if (config_.faults.silentAfter >= 0 && counters_.valid >= config_.faults.silentAfter) {
        ++counters_.silenced;
        Note("SILENT", r.raw);
        return;
    }
    std::optional<std::string> payload = Dispatch(r.body);
    if (!payload) {
        ++counters_.unknown;
        Note("REJECT unknown", r.raw);
        return;
    }
    ++counters_.valid;
    Note("RX", r.raw);
    AddFaults("<" + *payload + ">" + config_.lastChar, std::string(r.body), out);
    if (config_.faults.hangupAfter >= 0 && counters_.valid >= config_.faults.hangupAfter) {
        hungUp_ = true;
        out.hangUp = true;
        Note("HANGUP", {});
    }
}

// Applies the fault switches to one reply. The command has been carried out already, so a
// lost reply still leaves its change made, as on a noisy line.
int Kestro::ReplyDelay(const std::string& body) {
    const Faults& f = config_.faults;
    int delay = std::max(0, f.replyDelayMs);
    if (f.jitterMaxMs > 0 && f.jitterMaxMs >= f.jitterMinMs)
        delay =
            f.jitterMinMs + int(Random(jitterRng_, uint32_t(f.jitterMaxMs - f.jitterMinMs + 1)));
    const bool late = f.lateAt > 0 ? counters_.valid == f.lateAt
                                   : !f.lateOn.empty() && body == f.lateOn && !lateDone_;
    if (late) {
        lateDone_ = true;
        delay += std::max(0, f.lateByMs);
    }
    if (!f.slowOn.empty() && body == f.slowOn)
        delay += std::max(0, f.slowByMs);
    // The answer to "C" may wait for the erase it starts.
    if (f.clearReplyAfterErase && body == "C")
        delay += config_.eraseMs;
    return delay;
}

void Kestro::AddFaults(std::string reply, const std::string& body, Output& out) {
    const Faults& f = config_.faults;
    const int n = counters_.valid;
    if (Every(f.dropEvery, n)) {
        ++counters_.dropped;
        Note("DROP", {});
        return;
    }
    if (Every(f.garbleEvery, n)) {
        ++counters_.garbled;
        reply[9] = 'g'; // first digit of group 2: a strict group in records and readings
    }
    const int delay = ReplyDelay(body);
    // The stamp is when the reply was decided; the note says how it goes out.
    std::string how = delay > 0 ? "TX +" + std::to_string(delay) + "ms" : "TX";
    if (Every(f.splitEvery, n) && f.splitAt > 0 && f.splitAt < int(reply.size())) {
        ++counters_.split;
        const auto at = static_cast<size_t>(f.splitAt);
        out.chunks.push_back({delay, reply.substr(0, at)});
        out.chunks.push_back({std::max(0, f.splitGapMs), reply.substr(at)});
        how += " split " + std::to_string(at) + " +" + std::to_string(f.splitGapMs) + "ms";
    } else {
        out.chunks.push_back({delay, reply});
    }
    ++counters_.answered;
    Note(how, reply);
    if (Every(f.noiseEvery, n) && !f.noise.empty()) {
        ++counters_.noisy;
        out.chunks.push_back({0, f.noise});
        Note("NOISE", f.noise);
    }
}

} // namespace sim
