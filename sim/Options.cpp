#include "sim/Options.h"

#include "sim/Clock.h"
#include "sim/Kestro.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace sim {
namespace {

using Setter = std::function<bool(Options&, const std::string&)>;

std::optional<long long> Number(const std::string& text, long long low, long long high) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < low ||
        v > high)
        return std::nullopt;
    return v;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Sets a numeric field from a number in [low, high].
template <class F> Setter IntInto(F field, long long low, long long high) {
    return [=](Options& o, const std::string& v) {
        const auto n = Number(v, low, high);
        if (n)
            field(o) = static_cast<int>(*n);
        return n.has_value();
    };
}

Setter Text(std::function<std::string&(Options&)> field, size_t longest) {
    return [=](Options& o, const std::string& v) {
        if (v.size() > longest)
            return false;
        field(o) = v;
        return true;
    };
}

// Stored material: 0 Aluminium, 1 Steel, 2 Bronze, -1 none picked ("?").
bool SetMaterial(Options& o, const std::string& v) {
    static const std::map<std::string, int> names = {
        {"?", -1}, {"aluminium", 0}, {"steel", 1}, {"bronze", 2}};
    const auto it = names.find(Lower(v));
    if (it != names.end()) {
        o.config.material = it->second;
        return true;
    }
    const auto n = Number(v, -1, 2);
    if (n)
        o.config.material = static_cast<int>(*n);
    return n.has_value();
}

bool SetRefType(Options& o, const std::string& v) {
    static const std::map<std::string, int> names = {
        {"?", -1}, {"zinc", 0}, {"agagcl", 1}, {"ag agcl", 1}, {"ag", 1}};
    const auto it = names.find(Lower(v));
    if (it != names.end()) {
        o.config.refType = it->second;
        return true;
    }
    const auto n = Number(v, -1, 1);
    if (n)
        o.config.refType = static_cast<int>(*n);
    return n.has_value();
}

bool SetInterval(Options& o, const std::string& v) {
    if (Lower(v) == "off") {
        o.config.logInterval = 0;
        return true;
    }
    const auto n = Number(v, 0, 65535);
    if (n)
        o.config.logInterval = static_cast<int>(*n);
    return n.has_value();
}

bool SetCyclic(Options& o, const std::string& v) {
    const std::string s = Lower(v);
    if (s == "on" || s == "1" || s == "yes")
        o.config.cyclic = true;
    else if (s == "off" || s == "0" || s == "no")
        o.config.cyclic = false;
    else
        return false;
    return true;
}

bool SetClock(Options& o, const std::string& v) {
    const auto minutes = ParseClock(v);
    if (minutes && *minutes <= 0xFFFFFFFFLL)
        o.config.clockMinutes = *minutes;
    return minutes.has_value() && *minutes <= 0xFFFFFFFFLL;
}

// Readings travel as 16-bit words that the program reads as -49151 to 16384.
bool SetZoneMillivolts(Options& o, const std::string& v) {
    std::array<int, 3> mv{};
    size_t pos = 0;
    for (size_t z = 0; z < 3; ++z) {
        const size_t comma = z < 2 ? v.find(',', pos) : v.size();
        if (comma == std::string::npos)
            return false;
        const auto n = Number(v.substr(pos, comma - pos), -32768, 16384);
        if (!n)
            return false;
        mv[z] = static_cast<int>(*n);
        pos = comma + 1;
    }
    o.config.zoneMillivolts = mv;
    return true;
}

Setter SetFlag(std::function<bool&(Options&)> field) {
    return [=](Options& o, const std::string& v) {
        const std::string s = Lower(v);
        if (s != "on" && s != "off")
            return false;
        field(o) = s == "on";
        return true;
    };
}

#define FIELD(expr)                                                                                \
    [](Options & o) -> auto& {                                                                     \
        return o.expr;                                                                             \
    }

const std::map<std::string, Setter>& Setters() {
    static const std::map<std::string, Setter> setters = {
        {"--link", Text(FIELD(link), 4096)},
        {"--device", Text(FIELD(device), 4096)},
        {"--transcript", Text(FIELD(transcript), 4096)},
        {"--dump-log", Text(FIELD(dumpLog), 4096)},
        {"--name", Text(FIELD(config.name), 16)},
        {"--serial", Text(FIELD(config.serial), 16)},
        {"--firmware", Text(FIELD(config.version), 16)},
        {"--zone1", Text(FIELD(config.descriptions[0]), 16)},
        {"--zone2", Text(FIELD(config.descriptions[1]), 16)},
        {"--zone3", Text(FIELD(config.descriptions[2]), 16)},
        {"--last-char",
         [](Options& o, const std::string& v) {
             if (v.size() == 1)
                 o.config.lastChar = v[0];
             return v.size() == 1;
         }},
        {"--material", SetMaterial},
        {"--reftype", SetRefType},
        {"--interval", SetInterval},
        {"--cyclic", SetCyclic},
        {"--clock", SetClock},
        {"--zone-mv", SetZoneMillivolts},
        {"--zones", IntInto(FIELD(config.zones), 0, 3)},
        {"--drift-zone", IntInto(FIELD(config.driftZone), 0, 3)},
        {"--battery", IntInto(FIELD(config.batteryCount), 0, 65535)},
        {"--logs", IntInto(FIELD(config.logs), 0, 1000000)},
        {"--seed", IntInto(FIELD(config.seed), 0, 0x7FFFFFFF)},
        {"--erase-ms", IntInto(FIELD(config.eraseMs), 0, 600000)},
        {"--reply-delay", IntInto(FIELD(config.faults.replyDelayMs), 0, 600000)},
        {"--late-ms", IntInto(FIELD(config.faults.replyDelayMs), 0, 600000)},
        {"--drop-every", IntInto(FIELD(config.faults.dropEvery), 0, 1000000)},
        {"--garble-every", IntInto(FIELD(config.faults.garbleEvery), 0, 1000000)},
        {"--split-every", IntInto(FIELD(config.faults.splitEvery), 0, 1000000)},
        {"--split-at", IntInto(FIELD(config.faults.splitAt), 1, 34)},
        {"--split-gap-ms", IntInto(FIELD(config.faults.splitGapMs), 0, 600000)},
        {"--noise-every", IntInto(FIELD(config.faults.noiseEvery), 0, 1000000)},
        {"--noise", Text(FIELD(config.faults.noise), 64)},
        {"--silent-after", IntInto(FIELD(config.faults.silentAfter), -1, 100000000)},
        {"--hangup-after", IntInto(FIELD(config.faults.hangupAfter), -1, 100000000)},
        {"--late-at", IntInto(FIELD(config.faults.lateAt), 0, 100000000)},
        {"--late-on", Text(FIELD(config.faults.lateOn), 32)},
        {"--late-by", IntInto(FIELD(config.faults.lateByMs), 0, 600000)},
        {"--slow-on", Text(FIELD(config.faults.slowOn), 32)},
        {"--slow-by", IntInto(FIELD(config.faults.slowByMs), 0, 600000)},
        {"--jitter",
         [](Options& o, const std::string& v) {
             const size_t comma = v.find(',');
             const auto low = Number(v.substr(0, comma), 0, 600000);
             const auto high =
                 comma == std::string::npos ? low : Number(v.substr(comma + 1), 0, 600000);
             if (!low || !high || *high < *low)
                 return false;
             o.config.faults.jitterMinMs = int(*low);
             o.config.faults.jitterMaxMs = int(*high);
             return true;
         }},
        {"--clear-reply-late", SetFlag(FIELD(config.faults.clearReplyAfterErase))},
        {"--log-during-download", IntInto(FIELD(config.faults.logDuringDownloadAt), 0, 65535)},
        {"--restart-at", IntInto(FIELD(config.faults.restartAt), 0, 65535)},
        {"--restart-logs", IntInto(FIELD(config.faults.restartLogs), 0, 65535)},
    };
    return setters;
}

#undef FIELD

// The firmware decides how many records the logger holds. Left at its default, it becomes the
// smallest one that holds the records asked for; one chosen by hand must hold them.
bool FitLogs(Config& config, std::string& error) {
    if (config.logs <= Kestro::CapacityForVersion(config.version))
        return true;
    if (config.logs > 4090) {
        error = std::to_string(config.logs) + " records do not fit: the largest logger holds 4090";
        return false;
    }
    if (config.version == Config{}.version) {
        config.version = config.logs <= 2040 ? "KV1.02040" : "KV1.04090";
        return true;
    }
    error = std::to_string(config.logs) + " records do not fit: firmware \"" + config.version +
            "\" holds " + std::to_string(Kestro::CapacityForVersion(config.version)) +
            " (a 6th character \"2\" holds 2040, \"4\" holds 4090)";
    return false;
}

} // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        if (const size_t eq = name.find('='); eq != std::string::npos && name.rfind("--", 0) == 0) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--version" || name == "-V") {
            o.version = true;
            continue;
        }
        if (name == "--wire-time") {
            o.config.wireTime = true;
            continue;
        }
        const auto it = Setters().find(name);
        if (it == Setters().end()) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!it->second(o, value)) {
            error = "bad value for " + name + ": \"" + value + "\"";
            return std::nullopt;
        }
    }
    if (!FitLogs(o.config, error))
        return std::nullopt;
    if (!o.device.empty() && !o.link.empty()) {
        error = "--link makes a link to a new pseudo-terminal; it cannot be used with --device";
        return std::nullopt;
    }
    return o;
}

std::string UsageText() {
    return R"(kestro-sim: a simulated Corrosion Kestro logger on a tty.

Line
  --link PATH          also make PATH a symbolic link to the new pseudo-terminal
  --device PATH        serve an existing serial device at 9600 8N1 instead
  --last-char C        the 35th character of every reply (default ">")
  --wire-time          read and write at the pace of the real line, 9600 baud 8N1
Logger
  --name, --serial TEXT    up to 16 characters
  --firmware TEXT      the software version the logger reports, up to 16 characters;
                       its 6th character "2" or "4" gives 2040 or 4090 records, else 511
  --zone1, --zone2, --zone3 TEXT      zone descriptions, up to 16 characters
  --material aluminium|steel|bronze|?   --reftype zinc|agagcl|? (default agagcl)
  --zones 0-3          --interval MINUTES|off    --cyclic on|off
  --clock MINUTES|"dd/mm/yy hh:mm"    start clock (default: the PC's local time)
  --zone-mv A,B,C      zone readings in mV (default -820,-900,-1000 against Ag/AgCl)
  --drift-zone 0-3     this zone's log leaves the band a few hours every second day
                       (default 2; 0 none)      --battery COUNT
  --logs N             preload N records, up to 4090; the firmware version grows to hold
                       them unless one is given  --seed N
  --erase-ms MS        silence after "C" (default 3000)
Faults (K: every K-th valid command; 0 off)
  --reply-delay MS (or --late-ms)   --drop-every K   --garble-every K
  --split-every K  --split-at N (1-34)  --split-gap-ms MS
  --noise-every K  --noise TEXT     --silent-after N   --hangup-after N
  --late-at N or --late-on BODY, with --late-by MS: one reply that much later
  --slow-on BODY --slow-by MS   every reply to BODY that much later
  --jitter MIN,MAX     each reply's delay drawn from MIN to MAX ms (--seed)
  --clear-reply-late on|off   answer "C" only once the erase is over
  --log-during-download N   log one new record as log number N is requested (once)
  --restart-at N --restart-logs M   at the request for log number N, restart (2 s silent) and
                       come back holding only the first M records (once)
Records
  --transcript FILE    every command and reply with a millisecond time stamp
  --dump-log FILE      the log memory as the program's log lines
Program
  -h, --help           show this help and exit
  -V, --version        show kestro-sim's own version and exit
)";
}

} // namespace sim
