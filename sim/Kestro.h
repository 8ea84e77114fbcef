#pragma once

// The simulated Corrosion Kestro logger, in-process: command bytes in, reply bytes out.
//
//   sim::Kestro k(config);
//   std::string reply = k.Feed(sim::FrameCommand("s"));   // one 35-character reply
//
// Feed() may be given any slice of the byte stream; partial commands wait for the rest, or
// for Flush() once the line has been quiet.
// FeedTimed() returns the same replies as timed writes (delays, split replies, noise), and
// whether the line is to be closed; PtyRunner plays those on a tty. Not thread-safe: a runner
// serialises access to it.

#include "sim/Config.h"
#include "sim/LogMemory.h"
#include "sim/Wire.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Chunk {
    int delayMs = 0; // wait this long, then write the bytes
    std::string bytes;
};

struct Output {
    std::vector<Chunk> chunks;
    bool hangUp = false; // close the line after the chunks
};

struct Counters {
    int valid = 0;    // well-formed commands with a good checksum that the logger knows
    int answered = 0; // replies sent
    int badChecksum = 0;
    int unknown = 0;   // good checksum, command not known
    int malformed = 0; // a "<" that did not start a frame
    int erasing = 0;   // valid commands ignored while erasing
    int dropped = 0;
    int garbled = 0;
    int split = 0;
    int noisy = 0;
    int silenced = 0; // valid commands after the silence fault set in
};

class Kestro {
public:
    using SteadyMs = std::function<int64_t()>;

    // steadyMs is the time source (milliseconds, monotonic); empty means the steady clock.
    explicit Kestro(Config config = {}, SteadyMs steadyMs = {});

    std::string Feed(std::string_view bytes);
    Output FeedTimed(std::string_view bytes);
    // The line has been quiet: judges a command left incomplete (no reply unless it turns out
    // to be whole after all).
    Output Flush();
    bool HasPartial() const { return reader_.Pending(); }
    // Adds the log records that have fallen due by the logger's clock.
    void Tick();

    int64_t ClockMinutes() const;
    const std::string& Name() const { return name_; } // always 16 characters
    const std::string& SerialNumber() const { return serial_; }
    const std::string& SoftwareVersion() const { return version_; }
    const std::string& Description(int zone) const { return descriptions_.at(zone - 1); }
    int Material() const { return material_; }
    int Zones() const { return zones_; }
    int LogInterval() const { return logInterval_; }
    bool Cyclic() const { return cyclic_; }
    int RefType() const { return refType_; }
    int LogCapacity() const { return log_.Capacity(); }
    int LogCount() const { return log_.Count(); }
    const LogMemory& Log() const { return log_; }
    bool Erasing() const;
    bool HungUp() const { return hungUp_; }
    const Counters& Count() const { return counters_; }

    // What the log memory holds, as the program's log lines with CR LF (entries 1 to count).
    std::string LogDump() const { return log_.Dump(); }
    // A download asks for entry 0 first and gets the log count, which the program then writes
    // to its file as a record: this is that line, or empty when the count reads as the end.
    std::string CountEntryLine() const;
    // From now on the first command with this body is answered lateByMs late.
    void SetLateReply(std::string body, int lateByMs) {
        config_.faults.lateAt = 0;
        config_.faults.lateOn = std::move(body);
        config_.faults.lateByMs = lateByMs;
        lateDone_ = false;
    }
    // Adds a line of the runner's own to the transcript.
    void Remark(std::string_view what) { Note(what, {}); }

    // Most recent transcript lines ("    12.345 RX <s>>2B"); the oldest go beyond 100000.
    const std::deque<std::string>& Transcript() const { return transcript_; }
    // Also called with every transcript line as it is written (for a transcript file).
    void SetTranscriptSink(std::function<void(const std::string&)> sink) {
        sink_ = std::move(sink);
    }

    // 2040 when the 6th character is "2", 4090 when it is "4", else 511.
    static int CapacityForVersion(std::string_view version);

private:
    Output Handle(const std::vector<Received>& received);
    void HandleOne(const Received& r, Output& out);
    std::optional<std::string> Dispatch(std::string_view body);
    std::optional<std::string> Read(std::string_view body);
    std::optional<std::string> Write(std::string_view body);
    std::string SettingsPayload() const;
    std::string ReadingsPayload();
    std::string LogPayload(int n) const;
    void AddFaults(std::string reply, const std::string& body, Output& out);
    int ReplyDelay(const std::string& body);
    void SetClock(int64_t minutes);
    LogRecord MakeRecord(int64_t minutes);
    void Preload(int count);
    // The record that falls due next, logged now.
    void LogNextNow();
    void Note(std::string_view what, std::string_view bytes);
    int64_t Now() const { return steadyMs_(); }
    uint32_t Random(uint64_t& state, uint32_t range) const;

    Config config_;
    SteadyMs steadyMs_;
    int64_t startMs_ = 0;
    std::string name_, serial_, version_;
    std::array<std::string, 3> descriptions_;
    int material_ = 0, zones_ = 0, logInterval_ = 0, refType_ = 0;
    bool cyclic_ = false;
    int64_t clockBaseMs_ = 0; // logger time at steadyBase_, ms since the epoch
    int64_t steadyBase_ = 0;
    int64_t nextLogMinute_ = 0;
    int64_t erasingUntil_ = 0;    // steady ms
    int64_t restartingUntil_ = 0; // steady ms
    bool restarted_ = false;
    bool hungUp_ = false;
    uint64_t recordRng_ = 0, readingRng_ = 0;
    uint64_t jitterRng_ = 0;
    bool lateDone_ = false;
    bool loggedDuringDownload_ = false;
    LogMemory log_;
    CommandReader reader_;
    Counters counters_;
    std::deque<std::string> transcript_;
    std::function<void(const std::string&)> sink_;
};

} // namespace sim
