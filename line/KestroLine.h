// The logger's line as both front ends use it: the port with its fixed settings, the packet
// extractor, and the few operations the link asks of them. Knows no toolkit.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace cport {
class TComPort;
class TComDataPacket;
} // namespace cport

namespace kline {

// The program's names for the serial library: COMn may be pointed at any device with the
// variable QUORVA_COMn, and a port held by another copy of the program says so. Both front
// ends call this at start-up; a line does too when it is made.
void UseProgramNames();

// How an attempt to open the line went. Message is "" when the port opened.
struct TOpenResult {
    // The serial layer's message, and for a port that would not open a line that says why on
    // this PC: what the window shows.
    std::string Message;
    int ErrorCode = 0;  // the serial layer's code (cport::ecOpenFailed, ...); 0 when none
    int SystemCode = 0; // the errno behind it; 0 when none
    // The device the name led to ("" when a COM number has none), and the variable that chose
    // it ("QUORVA_COM3", even when set empty; "" when the PC's own list numbered it).
    std::string Path;
    std::string Variable;

    bool Opened() const { return Message.empty(); }
    // The device itself refused to open, as against a setting that failed once it was open.
    bool DeviceRefused() const;
};

class TKestroLine {
public:
    TKestroLine();
    // Stops deliveries, then closes the port; a failing close has nobody left to tell.
    ~TKestroLine();
    TKestroLine(const TKestroLine&) = delete;
    TKestroLine& operator=(const TKestroLine&) = delete;

    // Deliveries on the main thread: a reply packet, and received bytes reaching the port
    // (before the extractor has cut anything: the link times the line's quiet by them).
    std::function<void(const std::string& packet)> OnPacket;
    std::function<void()> OnActivity;
    // The close that CloseLater deferred failed.
    std::function<void(const std::exception& error)> OnCloseError;

    bool Connected() const;
    // The port name last set: "COM1", or a device path.
    std::string PortName() const;
    // True once the whole text has been written; a failing write throws.
    bool Write(const std::string& framed);
    // Throws away received bytes and the extractor's partial packet.
    void PurgeInput();
    void Close();
    // Closes once the current event hand-over has returned: a write can fail while a reply is
    // being handled, and closing from in there would wait for itself.
    void CloseLater();
    // Closes, sets the name, opens, and sets DTR high and RTS low. A failure leaves the port
    // closed and says what went wrong, and on which device.
    TOpenResult TryOpen(const std::string& name);
    // TryOpen's message alone: "" on success.
    std::string Open(const std::string& name) { return TryOpen(name).Message; }

    // Tests look at the port's state; nothing else should need them.
    cport::TComPort& Port() { return *ComPort1; }
    const cport::TComPort& Port() const { return *ComPort1; }

private:
    void CreateSerial();
    void ComPort1RxFlag();

    std::unique_ptr<cport::TComPort> ComPort1;
    std::unique_ptr<cport::TComDataPacket> ComDataPacket1;
    // A close posted for later finds the line gone when its owner went first.
    std::shared_ptr<int> Alive = std::make_shared<int>(0);
};

} // namespace kline
