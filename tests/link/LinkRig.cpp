#include "LinkRig.h"

#include "protocol/Convert.h"

namespace klinktest {

std::string BeWord(uint32_t word) {
    return protocol::WordToHexQuad(static_cast<int32_t>(word & 0xFFFF));
}

std::string LeWord(uint32_t word) {
    const std::string be = BeWord(word);
    return be.substr(2, 2) + be.substr(0, 2);
}

std::string Pad16(std::string text) {
    text.resize(16, ' ');
    return text;
}

std::string TextPayload(const std::string& text) {
    const std::string padded = Pad16(text);
    std::string payload;
    for (unsigned char c : padded) {
        payload += protocol::ByteToHexPair(c);
    }
    return payload;
}

std::string Delivered(const std::string& payload) {
    std::string p = payload;
    p.resize(32, '0');
    return p + ">>";
}

std::string RecordPayload(const protocol::LogRecord& record) {
    std::string p = LeWord(static_cast<uint32_t>(record.Minutes >> 16)) +
                    LeWord(static_cast<uint32_t>(record.Minutes & 0xFFFF));
    for (int32_t v : record.Values) {
        p += LeWord(static_cast<uint32_t>(v) & 0xFFFF);
    }
    return p;
}

std::string TSent::Body() const {
    return Framed.substr(1, Framed.size() - 5);
}

TRig::TRig() {
    Link.FormCreate();
}

void TRig::FillLog(int n) {
    Log.clear();
    for (int i = 1; i <= n; ++i) {
        protocol::LogRecord r;
        r.Index = i;
        r.Minutes = 14000000 + 15 * i;
        r.Values = {-120 - i % 7, 35 + i % 11, -(i % 300), i % 200, 0, 16384};
        Log.push_back(r);
    }
}

void TRig::LogNext() {
    protocol::LogRecord r;
    r.Minutes = Log.empty() ? 14000015 : Log.back().Minutes + 15;
    r.Values = {-130, 40, -static_cast<int32_t>(r.Minutes % 300), 7, 0, 16384};
    Log.push_back(r);
    if (LogMemory > 0 && Log.size() > LogMemory) {
        Log.erase(Log.begin());
    }
    for (std::size_t i = 0; i < Log.size(); ++i) {
        Log[i].Index = static_cast<int32_t>(i + 1);
    }
}

std::optional<std::string> TRig::Answer(const std::string& body) {
    if (body == "i01") {
        std::string p;
        for (uint16_t w : Settings) {
            p += LeWord(w);
        }
        return Delivered(p);
    }
    if (body == "i03") {
        return Delivered(TextPayload(Name));
    }
    if (body == "i05") {
        return Delivered(TextPayload(Serial));
    }
    if (body == "s") {
        return Delivered(TextPayload(Version));
    }
    if (body == "i06" || body == "i07" || body == "i08") {
        return Delivered(TextPayload(ZoneTexts[body[2] - '6']));
    }
    if (body == "i04") {
        return Delivered(LeWord(static_cast<uint32_t>(ClockMinutes) >> 16) +
                         LeWord(static_cast<uint32_t>(ClockMinutes) & 0xFFFF));
    }
    if (body == "c") {
        return Delivered(LeWord(10) + LeWord(0xFFFF) + LeWord(0x4001) + LeWord(0x0A0A));
    }
    if (body == "l0000") {
        // Entry 0's first word doubles as the log count, high byte first.
        return Delivered(BeWord(static_cast<uint32_t>(Log.size())) + "0000");
    }
    if (body.size() == 5 && body[0] == 'l') {
        const int index = protocol::HexQuadToWord(body.substr(1));
        if (LogDuringDownloadAt > 0 && index == LogDuringDownloadAt) {
            LogDuringDownloadAt = 0;
            LogNext();
        }
        if (index >= 1 && index <= static_cast<int>(Log.size())) {
            return Delivered(RecordPayload(Log[index - 1]));
        }
        return Delivered("");
    }
    // Writes change what the logger holds, as the real one does.
    if (body.size() == 19 && body[0] == 'I' && body[1] == '0') {
        const std::string text = body.substr(3);
        switch (body[2]) {
        case '3':
            Name = text;
            break;
        case '5':
            Serial = text;
            break;
        case '6':
        case '7':
        case '8':
            ZoneTexts[static_cast<std::size_t>(body[2] - '6')] = text;
            break;
        default:
            break;
        }
        return Delivered("");
    }
    if (body == "Y00" || body == "Y01") {
        Settings[4] = body == "Y01" ? 1 : 0;
        return Delivered("");
    }
    if (body == "C") {
        Log.clear();
        SilentUntil = Now + ReplyDelayMs + EraseSilenceMs;
        if (ClearAnswerAfterErase) {
            Pending.push_back({SilentUntil, Delivered("")});
            return std::nullopt;
        }
        return Delivered("");
    }
    return Delivered("");
}

void TRig::Collect() {
    while (SeenWrites < Host.Wire.size()) {
        const std::string framed = Host.Wire[SeenWrites++];
        Sent.push_back({Now, framed});
        if (Silent || Now < SilentUntil) {
            continue;
        }
        const std::optional<std::string> reply = Answer(Sent.back().Body());
        if (!reply) {
            continue;
        }
        ++Replies;
        if (DropReplies > 0 || (LoseEvery > 0 && Replies % LoseEvery == 0)) {
            DropReplies = DropReplies > 0 ? DropReplies - 1 : 0;
            continue;
        }
        std::string text = *reply;
        if (GarbleEvery > 0 && Replies % GarbleEvery == 0) {
            text[9] = 'G';
        }
        int delay = ReplyDelayMs;
        if (JitterHigh > 0) {
            JitterSeed = JitterSeed * 1103515245u + 12345u;
            delay = JitterLow + static_cast<int>((JitterSeed >> 8) %
                                                 static_cast<unsigned>(JitterHigh - JitterLow + 1));
        }
        if (const auto late = LateReplies.find(Replies); late != LateReplies.end()) {
            delay += late->second;
        }
        if (const auto slow = SlowBodies.find(Sent.back().Body()); slow != SlowBodies.end()) {
            delay += slow->second;
        }
        // The logger answers one command at a time: a reply never overtakes the one before.
        int at = std::max(Now + delay, Pending.empty() ? 0 : Pending.back().AtMs + ReplyWireMs);
        Pending.push_back({at, text});
    }
    if (Host.Purges != SeenPurges) {
        // A reply whose first bytes had arrived loses its "<" and never makes a packet; one
        // still to start arrives whole afterwards.
        SeenPurges = Host.Purges;
        std::erase_if(Pending, [](const TPending& p) { return p.Started; });
    }
    if (Host.ReplyTimerStarts != 0) {
        TimerDeadline = Now + Host.ReplyTimerMs;
        Host.ReplyTimerStarts = 0;
    }
}

void TRig::DeliverDue() {
    if (!Host.Connected) {
        Pending.clear(); // nothing reaches a closed port
    }
    for (std::size_t i = 0; i < Pending.size(); ++i) {
        if (!Pending[i].Started && Pending[i].AtMs - ReplyWireMs <= Now) {
            Pending[i].Started = true;
            Link.LineActivity();
            Collect();
            i = static_cast<std::size_t>(-1); // a purge may have changed the list
        }
    }
    while (!Pending.empty() && Pending.front().AtMs <= Now) {
        const std::string text = Pending.front().Text;
        Pending.erase(Pending.begin());
        Link.ComDataPacket1Packet(text);
        Collect();
    }
}

void TRig::Run(int ms) {
    Collect();
    for (int i = 0; i < ms; ++i) {
        ++Now;
        Host.SteadyMs = Now;
        DeliverDue();
        if (Host.ReplyTimerRunning && Now >= TimerDeadline) {
            Host.ReplyTimerRunning = false;
            Link.ReplyTimeout();
            Collect();
        }
        if (Now % 250 == 0) {
            Link.Tick250();
            Collect();
        }
        if (Now % 80 == 0) {
            Link.Timer2Timer();
            Collect();
        }
    }
}

bool TRig::RunUntilReady(int limitMs) {
    for (int t = 0; t < limitMs; t += 10) {
        Run(10);
        if (Link.Values().LinkState == klink::StateReady) {
            return true;
        }
    }
    return false;
}

bool TRig::RunUntilDownloaded(int limitMs) {
    for (int t = 0; t < limitMs && Link.Downloading(); t += 10) {
        Run(10);
    }
    return !Link.Downloading();
}

void TRig::DelayLastReply(int ms) {
    if (!Pending.empty() && !Pending.back().Started) {
        Pending.back().AtMs += ms;
    }
}

std::vector<std::string> TRig::SentBodies(std::size_t from) const {
    std::vector<std::string> bodies;
    for (std::size_t i = from; i < Sent.size(); ++i) {
        bodies.push_back(Sent[i].Body());
    }
    return bodies;
}

} // namespace klinktest
