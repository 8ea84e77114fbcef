// The four property groups; each changed field reapplies its group to an open port.
#include "cport/ComPort.h"

namespace cport {

void TComGroup::ApplyLine() {
    if (FComPort)
        FComPort->ApplyLineSettings();
}

void TComGroup::ApplyTimeouts() {
    if (FComPort)
        FComPort->ApplyTimeoutSettings();
}

void TComGroup::ApplyBuffer() {
    if (FComPort)
        FComPort->ApplyBufferSizes();
}

// Parity.

void TComParity::Assign(const TComParity& Source) {
    FBits = Source.FBits;
    FCheck = Source.FCheck;
    FReplace = Source.FReplace;
    FReplaceChar = Source.FReplaceChar;
}

void TComParity::SetBits(TParityBits Value) {
    if (Value == FBits)
        return;
    FBits = Value;
    ApplyLine();
}

void TComParity::SetCheck(bool Value) {
    if (Value == FCheck)
        return;
    FCheck = Value;
    ApplyLine();
}

void TComParity::SetReplace(bool Value) {
    if (Value == FReplace)
        return;
    FReplace = Value;
    ApplyLine();
}

void TComParity::SetReplaceChar(char Value) {
    if (Value == FReplaceChar)
        return;
    FReplaceChar = Value;
    ApplyLine();
}

// Timeouts.

void TComTimeouts::Assign(const TComTimeouts& Source) {
    FReadInterval = Source.FReadInterval;
    FReadTotalM = Source.FReadTotalM;
    FReadTotalC = Source.FReadTotalC;
    FWriteTotalM = Source.FWriteTotalM;
    FWriteTotalC = Source.FWriteTotalC;
}

void TComTimeouts::Store(int32_t& Field, int32_t Value) {
    if (Value == Field)
        return;
    Field = Value;
    ApplyTimeouts();
}

void TComTimeouts::SetReadInterval(int32_t Value) {
    Store(FReadInterval, Value);
}
void TComTimeouts::SetReadTotalMultiplier(int32_t Value) {
    Store(FReadTotalM, Value);
}
void TComTimeouts::SetReadTotalConstant(int32_t Value) {
    Store(FReadTotalC, Value);
}
void TComTimeouts::SetWriteTotalMultiplier(int32_t Value) {
    Store(FWriteTotalM, Value);
}
void TComTimeouts::SetWriteTotalConstant(int32_t Value) {
    Store(FWriteTotalC, Value);
}

// Flow control.

void TComFlowControl::Assign(const TComFlowControl& Source) {
    FOutCTSFlow = Source.FOutCTSFlow;
    FOutDSRFlow = Source.FOutDSRFlow;
    FControlDTR = Source.FControlDTR;
    FControlRTS = Source.FControlRTS;
    FXonXoffOut = Source.FXonXoffOut;
    FXonXoffIn = Source.FXonXoffIn;
    FDSRSensitivity = Source.FDSRSensitivity;
    FTxContinueOnXoff = Source.FTxContinueOnXoff;
    FXonChar = Source.FXonChar;
    FXoffChar = Source.FXoffChar;
}

template <typename T> void TComFlowControl::Store(T& Field, T Value) {
    if (Value == Field)
        return;
    Field = Value;
    ApplyLine();
}

TFlowControl TComFlowControl::FlowControl() const {
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

// DTR control, DSR flow and DSR sensitivity are not part of the summary and stay as they are.
void TComFlowControl::SetFlowControl(TFlowControl Value) {
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
    }
    if (Value == fcHardware) {
        FControlRTS = rtsHandshake;
        FOutCTSFlow = true;
    } else if (Value == fcSoftware) {
        FXonXoffIn = true;
        FXonXoffOut = true;
    }
    ApplyLine();
}

void TComFlowControl::SetOutCTSFlow(bool Value) {
    Store(FOutCTSFlow, Value);
}
void TComFlowControl::SetOutDSRFlow(bool Value) {
    Store(FOutDSRFlow, Value);
}
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) {
    Store(FControlDTR, Value);
}
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) {
    Store(FControlRTS, Value);
}
void TComFlowControl::SetXonXoffOut(bool Value) {
    Store(FXonXoffOut, Value);
}
void TComFlowControl::SetXonXoffIn(bool Value) {
    Store(FXonXoffIn, Value);
}
void TComFlowControl::SetDSRSensitivity(bool Value) {
    Store(FDSRSensitivity, Value);
}
void TComFlowControl::SetTxContinueOnXoff(bool Value) {
    Store(FTxContinueOnXoff, Value);
}
void TComFlowControl::SetXonChar(char Value) {
    Store(FXonChar, Value);
}
void TComFlowControl::SetXoffChar(char Value) {
    Store(FXoffChar, Value);
}

// Queue sizes.

void TComBuffer::Assign(const TComBuffer& Source) {
    FInputSize = Source.FInputSize;
    FOutputSize = Source.FOutputSize;
}

void TComBuffer::Store(int32_t& Field, int32_t Value) {
    if (Value > 0 && Value % 2 != 0)
        --Value;
    if (Value == Field)
        return;
    Field = Value;
    ApplyBuffer();
}

void TComBuffer::SetInputSize(int32_t Value) {
    Store(FInputSize, Value);
}
void TComBuffer::SetOutputSize(int32_t Value) {
    Store(FOutputSize, Value);
}

} // namespace cport
