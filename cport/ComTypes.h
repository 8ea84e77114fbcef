// Enumerations, small sets and event signatures shared by the serial layer.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace cport {

// Base of every object that can be the Sender of an event.
class TObject {
public:
    virtual ~TObject() = default;
};

// A set over a small enumeration, one bit per value (bit n = ordinal n).
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Values) {
        for (E Value : Values)
            FBits |= Bit(Value);
    }
    static constexpr TSet FromBits(uint32_t Bits) {
        TSet Result;
        Result.FBits = Bits;
        return Result;
    }
    constexpr uint32_t Bits() const { return FBits; }
    constexpr bool Contains(E Value) const { return (FBits & Bit(Value)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E Value) {
        FBits |= Bit(Value);
        return *this;
    }
    constexpr TSet& Exclude(E Value) {
        FBits &= ~Bit(Value);
        return *this;
    }
    constexpr TSet operator|(TSet Other) const { return FromBits(FBits | Other.FBits); }
    constexpr TSet operator&(TSet Other) const { return FromBits(FBits & Other.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr uint32_t Bit(E Value) { return 1u << static_cast<unsigned>(Value); }
    uint32_t FBits = 0;
};

enum TBaudRate : uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent : uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };
enum TComSignal : uint8_t { sgCTS, sgDSR, sgRing, sgRLSD };
enum TComError : uint8_t {
    erFrame,
    erRxParity,
    erOverrun,
    erBreak,
    erIO,
    erMode,
    erRxOver,
    erTxFull
};
// Which groups of settings the settings store writes and reads.
enum TStoredGroup : uint8_t { grBasic, grFlowControl, grBuffer, grTimeouts, grParity, grOthers };

using TComEvents = TSet<TComEvent>;
using TModemSignals = TSet<TComSignal>;
using TComErrors = TSet<TComError>;
using TStoredGroups = TSet<TStoredGroup>;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x3FF);

// Bit rates by TBaudRate ordinal; brCustom takes the port's CustomBaudRate instead.
inline constexpr int BaudRateTable[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                        14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TRxCharEvent = std::function<void(TObject* Sender, int Count)>;
using TRxBufEvent = std::function<void(TObject* Sender, const char* Buffer, int Count)>;
using TComSignalEvent = std::function<void(TObject* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TObject* Sender, TComErrors Errors)>;

} // namespace cport
