// The packet extractor: follows a port through a link and cuts its received text into packets.
#pragma once

#include "cport/ComPort.h"
#include "cport/ComTypes.h"

#include <cstddef>
#include <functional>
#include <string>

namespace cport {

using TComStrEvent = std::function<void(TObject* Sender, const std::string& Str)>;
// The handler sets Pos (1-based) to mark where a packet starts or how long it is.
using TCustPacketEvent = std::function<void(TObject* Sender, const std::string& Str, int& Pos)>;

class TComDataPacket : public TObject {
public:
    TComDataPacket();
    ~TComDataPacket() override;
    TComDataPacket(const TComDataPacket&) = delete;
    TComDataPacket& operator=(const TComDataPacket&) = delete;

    // Binding: detaches the link from the old port and attaches it to the new one.
    TCustomComPort* ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort* Value);

    bool CaseInsensitive() const { return FCaseInsensitive; }
    void SetCaseInsensitive(bool Value);
    bool IncludeStrings() const { return FIncludeStrings; }
    void SetIncludeStrings(bool Value) { FIncludeStrings = Value; }
    // 0 or less: the buffer may grow without limit.
    int MaxBufferSize() const { return FMaxBufferSize; }
    void SetMaxBufferSize(int Value) { FMaxBufferSize = Value; }
    const std::string& StartString() const { return FStartString; }
    void SetStartString(const std::string& Value);
    const std::string& StopString() const { return FStopString; }
    void SetStopString(const std::string& Value);
    // 0 or less: no size rule.
    int Size() const { return FSize; }
    void SetSize(int Value);

    TComStrEvent OnDiscard;
    TComStrEvent OnPacket;
    TCustPacketEvent OnCustomStart;
    TCustPacketEvent OnCustomStop;

    // Text received and not yet delivered, and whether it begins with a packet start.
    const std::string& PacketBuffer() const { return FPacketBuffer; }
    bool InsidePacket() const { return FInsidePacket; }

    // Takes one chunk as the port read it; the link's RxBufferReady lands here.
    void AcceptData(const std::string& Chunk);
    // Hands the buffered text to OnDiscard and starts again outside a packet.
    void FlushBuffer();
    // The link registered with the port (only RxBufferReady is assigned).
    TComLink& PacketLink() { return FPacketLink; }

    // Form loading: while it lasts, changing a rule does not flush.
    bool Loading() const { return FLoading; }
    void BeginLoading() { FLoading = true; }
    void Loaded() { FLoading = false; }

protected:
    virtual void ScanBuffer();
    virtual void DoDiscard(const std::string& Str);
    virtual void DoPacket(const std::string& Str);
    virtual void DoCustomStart(const std::string& Str, int& Pos);
    virtual void DoCustomStop(const std::string& Str, int& Pos);

private:
    bool HasStopRule() const;
    char Normalise(char C) const;
    int Find(const std::string& What, const std::string& Where, size_t Skip = 0) const;
    bool BeginsWith(const std::string& Text, const std::string& Prefix) const;
    void ScanPackets();
    void CheckBufferSize();
    void FindStart();
    void DropBefore(int Pos);
    bool FindEnd();
    int CustomPacketLength(int Pos) const;
    int StopRuleLength() const;
    void CutPacket(int Length);
    void StripDelimiters(std::string& Packet) const;
    void RuleChanged();

    TComLink FPacketLink;
    TCustomComPort* FComPort = nullptr;
    std::string FStartString;
    std::string FStopString;
    int FMaxBufferSize = 1024;
    int FSize = 0;
    bool FIncludeStrings = false;
    bool FCaseInsensitive = false;
    bool FInsidePacket = false;
    std::string FPacketBuffer;
    bool FLoading = false;
};

} // namespace cport
