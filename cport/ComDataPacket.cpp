#include "cport/ComDataPacket.h"

#include <algorithm>

namespace cport {

TComDataPacket::TComDataPacket() {
    // The port reads the bytes for us; the copy keeps the extractor independent of its block.
    FPacketLink.RxBufferReady = [this](TObject*, const char* Buffer, int Count) {
        AcceptData(Buffer != nullptr && Count > 0 ? std::string(Buffer, Count) : std::string());
    };
}

TComDataPacket::~TComDataPacket() {
    try {
        SetComPort(nullptr);
    } catch (...) {
        // A link the port no longer knows needs no detaching.
    }
}

void TComDataPacket::SetComPort(TCustomComPort* Value) {
    if (Value == FComPort)
        return;
    if (FComPort != nullptr) {
        TCustomComPort* Old = FComPort;
        FComPort = nullptr;
        Old->RemoveFreeNotification(this);
        Old->DetachLink(&FPacketLink);
    }
    if (Value != nullptr) {
        Value->AttachLink(&FPacketLink);
        FComPort = Value;
        // A port going away first takes our link off its list, so it never calls a dead one.
        Value->AddFreeNotification(this, [this] { SetComPort(nullptr); });
    }
}

void TComDataPacket::SetCaseInsensitive(bool Value) {
    if (Value == FCaseInsensitive)
        return;
    FCaseInsensitive = Value;
    RuleChanged();
}

void TComDataPacket::SetStartString(const std::string& Value) {
    if (Value == FStartString)
        return;
    FStartString = Value;
    RuleChanged();
}

void TComDataPacket::SetStopString(const std::string& Value) {
    if (Value == FStopString)
        return;
    FStopString = Value;
    RuleChanged();
}

void TComDataPacket::SetSize(int Value) {
    if (Value == FSize)
        return;
    FSize = Value;
    RuleChanged();
}

void TComDataPacket::RuleChanged() {
    if (!FLoading)
        FlushBuffer();
}

void TComDataPacket::DoDiscard(const std::string& Str) {
    if (OnDiscard)
        OnDiscard(this, Str);
}

void TComDataPacket::DoPacket(const std::string& Str) {
    if (OnPacket)
        OnPacket(this, Str);
}

void TComDataPacket::DoCustomStart(const std::string& Str, int& Pos) {
    if (OnCustomStart)
        OnCustomStart(this, Str, Pos);
}

void TComDataPacket::DoCustomStop(const std::string& Str, int& Pos) {
    if (OnCustomStop)
        OnCustomStop(this, Str, Pos);
}

bool TComDataPacket::HasStopRule() const {
    return FSize > 0 || !FStopString.empty() || static_cast<bool>(OnCustomStop);
}

char TComDataPacket::Normalise(char C) const {
    return FCaseInsensitive && C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

// 1-based position of the first occurrence in Where after its first Skip characters (counted
// from there), 0 when absent or when What is empty. Searches in place: the buffer can be long.
int TComDataPacket::Find(const std::string& What, const std::string& Where, size_t Skip) const {
    if (What.empty() || Skip >= Where.size())
        return 0;
    const auto Same = [this](char A, char B) { return Normalise(A) == Normalise(B); };
    const auto At = std::search(Where.begin() + static_cast<std::ptrdiff_t>(Skip), Where.end(),
                                What.begin(), What.end(), Same);
    if (At == Where.end())
        return 0;
    return static_cast<int>(At - Where.begin() - static_cast<std::ptrdiff_t>(Skip)) + 1;
}

bool TComDataPacket::BeginsWith(const std::string& Text, const std::string& Prefix) const {
    const auto Same = [this](char A, char B) { return Normalise(A) == Normalise(B); };
    return Text.size() >= Prefix.size() &&
           std::equal(Prefix.begin(), Prefix.end(), Text.begin(), Same);
}

void TComDataPacket::AcceptData(const std::string& Chunk) {
    if (!HasStopRule()) {
        DoPacket(Chunk);
        return;
    }
    FPacketBuffer += Chunk;
    ScanBuffer();
}

void TComDataPacket::ScanBuffer() {
    try {
        ScanPackets();
    } catch (...) {
        CheckBufferSize();
        throw;
    }
    CheckBufferSize();
}

// A loop rather than a rescan per packet: a chunk of many short packets must not eat the stack.
void TComDataPacket::ScanPackets() {
    for (;;) {
        if (!FInsidePacket)
            FindStart();
        if (!FInsidePacket || !FindEnd())
            return;
    }
}

void TComDataPacket::CheckBufferSize() {
    if (FMaxBufferSize > 0 && FPacketBuffer.size() >= static_cast<size_t>(FMaxBufferSize))
        FlushBuffer();
}

void TComDataPacket::FindStart() {
    int Pos = -1;
    DoCustomStart(FPacketBuffer, Pos);
    if (Pos > 0) {
        DropBefore(Pos);
        return;
    }
    if (Pos != -1)
        return;
    if (FStartString.empty()) {
        FInsidePacket = true;
        return;
    }
    Pos = Find(FStartString, FPacketBuffer);
    if (Pos > 0)
        DropBefore(Pos);
}

void TComDataPacket::DropBefore(int Pos) {
    FInsidePacket = true;
    const size_t Count = std::min(static_cast<size_t>(Pos - 1), FPacketBuffer.size());
    if (Count == 0)
        return;
    const std::string Discarded = FPacketBuffer.substr(0, Count);
    FPacketBuffer.erase(0, Count);
    DoDiscard(Discarded);
}

// True when a packet was cut off the front of the buffer.
bool TComDataPacket::FindEnd() {
    int Pos = -1;
    DoCustomStop(FPacketBuffer, Pos);
    int Length = 0;
    if (Pos > 0)
        Length = CustomPacketLength(Pos);
    else if (Pos == -1)
        Length = StopRuleLength();
    if (Length <= 0)
        return false;
    FInsidePacket = false;
    CutPacket(Length);
    return true;
}

// A handler's end beyond the buffer takes what is there; an empty buffer holds no packet,
// which also keeps a handler that always answers "1" from cutting empty packets forever.
int TComDataPacket::CustomPacketLength(int Pos) const {
    return static_cast<int>(std::min(static_cast<size_t>(Pos), FPacketBuffer.size()));
}

// The size rule wins over an earlier stop string; the stop is searched after the start.
int TComDataPacket::StopRuleLength() const {
    if (FSize > 0 && FPacketBuffer.size() >= static_cast<size_t>(FSize))
        return FSize;
    const size_t Skip = FStartString.size();
    const int P = Find(FStopString, FPacketBuffer, Skip);
    if (P == 0)
        return 0;
    return static_cast<int>(FStopString.size() + Skip) + P - 1;
}

void TComDataPacket::CutPacket(int Length) {
    std::string Packet = FPacketBuffer.substr(0, static_cast<size_t>(Length));
    FPacketBuffer.erase(0, static_cast<size_t>(Length));
    StripDelimiters(Packet);
    DoPacket(Packet);
}

void TComDataPacket::StripDelimiters(std::string& Packet) const {
    if (FIncludeStrings)
        return;
    if (!FStartString.empty() && BeginsWith(Packet, FStartString))
        Packet.erase(0, FStartString.size());
    if (FStopString.empty())
        return;
    const int P = Find(FStopString, Packet);
    if (P > 0 && static_cast<size_t>(P) - 1 + FStopString.size() == Packet.size())
        Packet.erase(Packet.size() - FStopString.size());
}

// Always ends outside a packet: with an empty start rule the extractor rests "inside" an
// empty buffer, and a new start rule must not inherit that.
void TComDataPacket::FlushBuffer() {
    // Nothing buffered means nothing to throw away: a packet that starts with an empty
    // start string stays started.
    if (FPacketBuffer.empty())
        return;
    const std::string Discarded = FPacketBuffer;
    try {
        DoDiscard(Discarded);
    } catch (...) {
        FPacketBuffer.clear();
        FInsidePacket = false;
        throw;
    }
    FPacketBuffer.clear();
    FInsidePacket = false;
}

} // namespace cport
