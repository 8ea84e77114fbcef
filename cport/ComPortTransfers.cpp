// Overlapped transfers, the blocking reads and writes built on them, and line queries.
#include "cport/ComPort.h"

#include "cport/ComDevice.h"

#include <cstring>
#include <memory>

namespace cport {

// One transfer: the device's view of it, its kind, and a private copy of written data that
// goes to the links once the write has completed.
struct TransferRecord {
    TDeviceIo Io;
    uint8_t Kind = 0; // 0 write, 1 read
    std::unique_ptr<char[]> Data;
    size_t DataSize = 0;
};

namespace {

// Frees the record on every path out of a blocking transfer.
class TTransferGuard {
public:
    TTransferGuard(TCustomComPort& Port, PTransfer& Transfer) : FPort(Port), FTransfer(Transfer) {
        FPort.NewTransfer(FTransfer);
    }
    ~TTransferGuard() { FPort.FreeTransfer(FTransfer); }
    TTransferGuard(const TTransferGuard&) = delete;
    TTransferGuard& operator=(const TTransferGuard&) = delete;

private:
    TCustomComPort& FPort;
    PTransfer& FTransfer;
};

} // namespace

void TCustomComPort::CheckTransfer(PTransfer Transfer) const {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
}

void TCustomComPort::NewTransfer(PTransfer& Transfer) {
    Transfer = new TransferRecord();
}

int TCustomComPort::WriteBytesAsync(const void* Buffer, int Count, PTransfer& Transfer) {
    CheckTransfer(Transfer);
    TransferRecord& T = *Transfer;
    T.Kind = 0;
    const size_t Size = Count > 0 ? static_cast<size_t>(Count) : 0;
    T.Data.reset(Size > 0 ? new char[Size] : nullptr);
    T.DataSize = Size;
    if (Size > 0)
        std::memcpy(T.Data.get(), Buffer, Size);
    T.Io = TDeviceIo();
    T.Io.IsRead = false;
    T.Io.Buffer = T.Data.get();
    T.Io.Count = Size;
    if (int Error = FDevice->StartWrite(T.Io))
        throw EComPort(ecWriteFailed, Error);
    NotifyLinks([this](TComLink& Link) {
        if (Link.TxActivity)
            Link.TxActivity(this, true);
    });
    return T.Io.Pending ? 0 : static_cast<int>(T.Io.Done);
}

int TCustomComPort::WriteTextAsync(const std::string& Text, PTransfer& Transfer) {
    if (Text.empty())
        return 0;
    return WriteBytesAsync(Text.data(), static_cast<int>(Text.size()), Transfer);
}

int TCustomComPort::ReadBytesAsync(void* Buffer, int Count, PTransfer& Transfer) {
    CheckTransfer(Transfer);
    TransferRecord& T = *Transfer;
    T.Kind = 1;
    T.Io = TDeviceIo();
    T.Io.IsRead = true;
    T.Io.Buffer = static_cast<char*>(Buffer);
    T.Io.Count = Count > 0 ? static_cast<size_t>(Count) : 0;
    if (int Error = FDevice->StartRead(T.Io))
        throw EComPort(ecReadFailed, Error);
    return T.Io.Pending ? 0 : static_cast<int>(T.Io.Done);
}

int TCustomComPort::ReadTextAsync(std::string& Text, int Count, PTransfer& Transfer) {
    Text.resize(Count > 0 ? static_cast<size_t>(Count) : 0);
    if (Count <= 0)
        return 0;
    return ReadBytesAsync(Text.data(), Count, Transfer);
}

int TCustomComPort::WaitTransfer(PTransfer& Transfer) {
    CheckTransfer(Transfer);
    TransferRecord& T = *Transfer;
    if (int Error = FDevice->CompleteIo(T.Io))
        throw EComPort(T.Kind == 1 ? ecReadFailed : ecWriteFailed, Error);
    const int Done = static_cast<int>(T.Io.Done);
    if (T.Kind == 1) {
        if (BytesWaiting() == 0)
            NotifyLinks([this](TComLink& Link) {
                if (Link.RxActivity)
                    Link.RxActivity(this, false);
            });
    } else if (T.Data) {
        const char* Data = T.Data.get();
        const int Size = static_cast<int>(T.DataSize);
        NotifyLinks([&](TComLink& Link) {
            if (Link.TxBufferSent)
                Link.TxBufferSent(this, Data, Size);
        });
    }
    return Done;
}

void TCustomComPort::FreeTransfer(PTransfer& Transfer) {
    if (Transfer)
        FDevice->AbandonIo(Transfer->Io);
    delete Transfer;
    Transfer = nullptr;
}

int TCustomComPort::WriteBytes(const void* Buffer, int Count) {
    PTransfer Transfer = nullptr;
    TTransferGuard Guard(*this, Transfer);
    WriteBytesAsync(Buffer, Count, Transfer);
    return WaitTransfer(Transfer);
}

int TCustomComPort::WriteText(const std::string& Text) {
    PTransfer Transfer = nullptr;
    TTransferGuard Guard(*this, Transfer);
    WriteTextAsync(Text, Transfer);
    return WaitTransfer(Transfer);
}

int TCustomComPort::ReadBytes(void* Buffer, int Count) {
    PTransfer Transfer = nullptr;
    TTransferGuard Guard(*this, Transfer);
    ReadBytesAsync(Buffer, Count, Transfer);
    return WaitTransfer(Transfer);
}

int TCustomComPort::ReadText(std::string& Text, int Count) {
    PTransfer Transfer = nullptr;
    TTransferGuard Guard(*this, Transfer);
    ReadTextAsync(Text, Count, Transfer);
    const int Done = WaitTransfer(Transfer);
    Text.resize(static_cast<size_t>(Done));
    return Done;
}

void TCustomComPort::AbortTransfers() {
    if (int Error = FDevice->PurgeComm(PURGE_TXABORT | PURGE_RXABORT))
        throw EComPort(ecPurgeFailed, Error);
}

int TCustomComPort::BytesWaiting() {
    uint32_t Errors = 0;
    int InQueue = 0;
    if (int Error = FDevice->ClearCommError(Errors, InQueue))
        throw EComPort(ecClearComFailed, Error);
    return InQueue;
}

TModemSignals TCustomComPort::ModemSignals() {
    uint32_t Status = 0;
    if (int Error = FDevice->GetCommModemStatus(Status))
        throw EComPort(ecModemStatFailed, Error);
    TModemSignals Signals;
    if (Status & MS_CTS_ON)
        Signals.Include(sgCTS);
    if (Status & MS_DSR_ON)
        Signals.Include(sgDSR);
    if (Status & MS_RING_ON)
        Signals.Include(sgRing);
    if (Status & MS_RLSD_ON)
        Signals.Include(sgRLSD);
    return Signals;
}

TComErrors TCustomComPort::LineErrors() {
    uint32_t Flags = 0;
    int InQueue = 0;
    if (int Error = FDevice->ClearCommError(Flags, InQueue))
        throw EComPort(ecClearComFailed, Error);
    const std::pair<uint32_t, TComError> Map[] = {
        {CE_FRAME, erFrame}, {CE_OVERRUN, erOverrun}, {CE_BREAK, erBreak},   {CE_IOE, erIO},
        {CE_MODE, erMode},   {CE_RXOVER, erRxOver},   {CE_TXFULL, erTxFull},
    };
    TComErrors Errors;
    for (const auto& [Bit, Flag] : Map)
        if (Flags & Bit)
            Errors.Include(Flag);
    // A parity error only counts while the port is checking parity.
    if ((Flags & CE_RXPARITY) && FParity->Check())
        Errors.Include(erRxParity);
    return Errors;
}

void TCustomComPort::SetDtrLine(bool State) {
    if (int Error = FDevice->EscapeCommFunction(State ? SETDTR : CLRDTR))
        throw EComPort(ecEscapeComFailed, Error);
}

void TCustomComPort::SetRtsLine(bool State) {
    if (int Error = FDevice->EscapeCommFunction(State ? SETRTS : CLRRTS))
        throw EComPort(ecEscapeComFailed, Error);
}

} // namespace cport
