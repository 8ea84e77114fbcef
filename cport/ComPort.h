// The serial port component: line settings, open/close, transfers, lines and events.
#pragma once

#include "cport/ComError.h"
#include "cport/ComTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cport {

class TCustomComPort;
class TComThread;
class TComDevice;
struct TransferRecord;
using PTransfer = TransferRecord*;

// Eleven optional callbacks through which another component follows a port.
class TComLink {
public:
    std::function<void(TObject* Sender, bool OnOff)> ConnectionChanged;
    std::function<void(TObject* Sender, const char* Buffer, int Count)> RxBufferReady;
    std::function<void(TObject* Sender, const char* Buffer, int Count)> TxBufferSent;
    std::function<void(TObject* Sender)> TxQueueEmpty;
    std::function<void(TObject* Sender)> RxFlagSeen;
    std::function<void(TObject* Sender, bool OnOff)> CtsChanged;
    std::function<void(TObject* Sender, bool OnOff)> DsrChanged;
    std::function<void(TObject* Sender, bool OnOff)> RlsdChanged;
    std::function<void(TObject* Sender)> RingSeen;
    std::function<void(TObject* Sender, bool OnOff)> TxActivity;
    std::function<void(TObject* Sender, bool OnOff)> RxActivity;
};

// Base of the four property groups: the back reference is set by the port that owns it.
class TComGroup : public TObject {
public:
    TCustomComPort* ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort* Port) { FComPort = Port; }

protected:
    void ApplyLine();
    void ApplyTimeouts();
    void ApplyBuffer();

private:
    TCustomComPort* FComPort = nullptr;
};

class TComParity : public TComGroup {
public:
    void Assign(const TComParity& Source);
    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    char ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits Value);
    void SetCheck(bool Value);
    void SetReplace(bool Value);
    void SetReplaceChar(char Value);

private:
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    char FReplaceChar = 0;
};

class TComTimeouts : public TComGroup {
public:
    void Assign(const TComTimeouts& Source);
    int32_t ReadInterval() const { return FReadInterval; }
    int32_t ReadTotalMultiplier() const { return FReadTotalM; }
    int32_t ReadTotalConstant() const { return FReadTotalC; }
    int32_t WriteTotalMultiplier() const { return FWriteTotalM; }
    int32_t WriteTotalConstant() const { return FWriteTotalC; }
    void SetReadInterval(int32_t Value);
    void SetReadTotalMultiplier(int32_t Value);
    void SetReadTotalConstant(int32_t Value);
    void SetWriteTotalMultiplier(int32_t Value);
    void SetWriteTotalConstant(int32_t Value);

private:
    void Store(int32_t& Field, int32_t Value);
    int32_t FReadInterval = -1;
    int32_t FReadTotalM = 0;
    int32_t FReadTotalC = 0;
    int32_t FWriteTotalM = 100;
    int32_t FWriteTotalC = 1000;
};

class TComFlowControl : public TComGroup {
public:
    void Assign(const TComFlowControl& Source);
    // Summary of RTS control, CTS flow and both Xon/Xoff flags; writing always reapplies.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);
    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    char XonChar() const { return FXonChar; }
    char XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value);
    void SetOutDSRFlow(bool Value);
    void SetControlDTR(TDTRFlowControl Value);
    void SetControlRTS(TRTSFlowControl Value);
    void SetXonXoffOut(bool Value);
    void SetXonXoffIn(bool Value);
    void SetDSRSensitivity(bool Value);
    void SetTxContinueOnXoff(bool Value);
    void SetXonChar(char Value);
    void SetXoffChar(char Value);

private:
    template <typename T> void Store(T& Field, T Value);
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    char FXonChar = 17;
    char FXoffChar = 19;
};

class TComBuffer : public TComGroup {
public:
    void Assign(const TComBuffer& Source);
    int32_t InputSize() const { return FInputSize; }
    int32_t OutputSize() const { return FOutputSize; }
    // A positive odd size is stored one less, so both sizes stay even.
    void SetInputSize(int32_t Value);
    void SetOutputSize(int32_t Value);

private:
    void Store(int32_t& Field, int32_t Value);
    int32_t FInputSize = 1024;
    int32_t FOutputSize = 1024;
};

class TCustomComPort : public TObject {
public:
    TCustomComPort();
    ~TCustomComPort() override;
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Open and close; Connected := true / false calls them.
    void OpenPort();
    void ClosePort();

    // Transfers: a record from NewTransfer, an async start, WaitTransfer, FreeTransfer.
    void NewTransfer(PTransfer& Transfer);
    int WriteBytesAsync(const void* Buffer, int Count, PTransfer& Transfer);
    int WriteTextAsync(const std::string& Text, PTransfer& Transfer);
    int ReadBytesAsync(void* Buffer, int Count, PTransfer& Transfer);
    int ReadTextAsync(std::string& Text, int Count, PTransfer& Transfer);
    int WaitTransfer(PTransfer& Transfer);
    void FreeTransfer(PTransfer& Transfer);
    int WriteBytes(const void* Buffer, int Count);
    int WriteText(const std::string& Text);
    int ReadBytes(void* Buffer, int Count);
    int ReadText(std::string& Text, int Count);

    void AbortTransfers();
    int BytesWaiting();
    TModemSignals ModemSignals();
    TComErrors LineErrors();
    void SetDtrLine(bool State);
    void SetRtsLine(bool State);

    void AttachLink(TComLink* Link);
    void DetachLink(TComLink* Link);
    // Who is told when the port is destroyed (a packet extractor drops its link then).
    void AddFreeNotification(TObject* Who, std::function<void()> OnFree);
    void RemoveFreeNotification(TObject* Who);

    // Properties.
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TComParity& Parity() { return *FParity; }
    const TComParity& Parity() const { return *FParity; }
    void SetParity(const TComParity& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    char EventChar() const { return FEventChar; }
    void SetEventChar(char Value);
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    TComBuffer& Buffer() { return *FBuffer; }
    const TComBuffer& Buffer() const { return *FBuffer; }
    void SetBuffer(const TComBuffer& Value);
    TComFlowControl& FlowControl() { return *FFlowControl; }
    const TComFlowControl& FlowControl() const { return *FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts& Timeouts() { return *FTimeouts; }
    const TComTimeouts& Timeouts() const { return *FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);
    TStoredGroups StoredGroups() const { return FStoredGroups; }
    void SetStoredGroups(TStoredGroups Value) { FStoredGroups = Value; }
    // The component's own name (the settings store uses it as the ini section).
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }

    // Design mode and form loading, reduced to what changes the port's behaviour.
    bool Designing() const { return FDesigning; }
    void SetDesigning(bool Value) { FDesigning = Value; }
    bool Loading() const { return FLoading; }
    void BeginLoading() { FLoading = true; }
    // Ends loading: opens the port if Connected was set meanwhile; a failure goes to the
    // application's exception handler and leaves the port closed.
    void Loaded();

    // Published events.
    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    TComErrorEvent OnError;

    // Reapply one group to the open device (nothing happens while closed).
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSizes();

protected:
    virtual void CreatePortHandle();
    virtual void DestroyPortHandle();
    virtual void ApplyAllSettings();

    virtual void DoAfterOpen();
    virtual void DoAfterClose();
    virtual void DoBeforeOpen();
    virtual void DoBeforeClose();
    virtual void DoRxChar(int Count);
    virtual void DoRxBuf(const char* Buf, int Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoRx80Full();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoError(TComErrors Errors);

private:
    friend class TComThread;
    bool ApplyAllowed() const;
    void CheckTransfer(PTransfer Transfer) const;
    void ReportOpenedSignals();
    void ReportClosingSignals();
    void RecomputeAnyRxBufLink();
    void StopEventThread();
    void PruneRetiredThreads();
    // Event dispatch, run by the event thread's delivery (on the main thread by default).
    void RunEventHandlers(TComEvents Events);
    void RunEventHandler(TComEvent Event);
    // One handed-over event: dropped once the port has closed.
    void RunWindowEvent(TComEvent Event);
    // The port stays connected until the very end of ClosePort, so a wake-up handed over
    // before or during the close still reaches its handlers.
    bool DeliveryOpen() const { return FConnected; }
    // Calls Call(Link) for every registered link in order; a link may detach itself.
    template <typename F> void NotifyLinks(F&& Call) {
        for (size_t I = 0; I < FLinks.size(); ++I)
            Call(*FLinks[I]);
    }
    void HandleError();
    void HandleRxChar();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleCtsChange();
    void HandleDsrChange();
    void HandleRxFlag();
    void HandleRlsdChange();
    void HandleRx80Full();

    std::unique_ptr<TComThread> FEventThread;
    // Threads stopped from inside their own delivery, joined once they have ended.
    std::vector<std::unique_ptr<TComThread>> FRetiredThreads;
    int FSyncDepth = 0; // smThreadSync deliveries running on the main thread
    bool FThreadRunning = false;
    std::unique_ptr<TComDevice> FDevice;
    std::vector<TComLink*> FLinks;
    std::vector<std::pair<TObject*, std::function<void()>>> FFreeNotifies;
    bool FAnyRxBufLink = false;
    // Read by the event thread when it delivers without the main thread (smNone).
    std::atomic<bool> FConnected{false};
    std::atomic<bool> FClosing{false};

    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComFlowControl> FFlowControl;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComBuffer> FBuffer;
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TComEvents FEvents = AllComEvents;
    TSyncMethod FSyncMethod = smThreadSync;
    TStoredGroups FStoredGroups = {grBasic};
    std::string FName;
    bool FDesigning = false;
    bool FLoading = false;
};

// Publishes everything; adds no behaviour.
class TComPort : public TCustomComPort {};

} // namespace cport
