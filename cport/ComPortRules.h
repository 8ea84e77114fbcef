// The rules that turn a list of serial devices into COM numbers and texts. Pure functions:
// the system is read in cport/posix, so these can be tried on made-up lists.
#pragma once

#include "cport/ComPortList.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cport {

// One tty device with hardware of its own, as the system describes it.
struct TSerialDevice {
    std::string Name;        // kernel name, "ttyUSB0"
    std::string Path;        // "/dev/ttyUSB0"
    bool BuiltIn = false;    // a UART of the PC itself rather than a plugged-in adapter
    bool HasHardware = true; // built-ins: a port type is known, so a chip answers there
    std::string ById;        // its name under /dev/serial/by-id, "" when not listed there
    std::string Vendor;      // adapters: maker and model as the device names them
    std::string Model;
    std::string Serial;
};

// What the program that uses the library calls things: the library itself knows no product.
// Set once at start-up, before ports are listed or opened.
struct TComPortNaming {
    // "COMn" opens the device that the environment variable <VariablePrefix><n> names, where it
    // is set; "" when the program offers no such variables.
    std::string VariablePrefix;
    // How an open-failure message names a program that holds the device, by its command name.
    std::map<std::string, std::string> KnownHolders;
};
void SetComPortNaming(TComPortNaming Naming);
const TComPortNaming& ComPortNaming();

// The value of the variable for COM<Number>, or nothing when it is not set.
using TComVariable = std::function<std::optional<std::string>(int Number)>;

// The serial ports in COM order: built-in UARTs with hardware by number, never a console;
// then adapters and whatever /dev/serial/by-id lists, by that name, so that an adapter keeps
// its number across replugging and restarts.
std::vector<TSerialDevice> OrderSerialPorts(std::vector<TSerialDevice> Devices,
                                            const std::set<std::string>& Consoles);

// COM1..COM<Count>: the variable where set, otherwise the n-th ordered port.
std::vector<TComPortInfo> NumberComPorts(const std::vector<TSerialDevice>& Ordered,
                                         const TComVariable& Variable, int Count);

// "/dev/ttyUSB0: FTDI FT232R USB UART, serial A50285BI", "/dev/ttyS1: built-in serial port".
std::string DescribeSerialDevice(const TSerialDevice& Device);

// The console names in /proc/consoles ("ttyS0 -W- (EC p a) 4:64" per line) and in
// /sys/class/tty/console/active ("ttyS0 tty0").
std::set<std::string> ConsoleNames(const std::string& ProcConsoles, const std::string& Active);

// udev's encoded texts ("FT232R\x20USB\x20UART") or underscored ones ("FT232R_USB_UART")
// as words.
std::string DecodeUdevText(const std::string& Encoded);

// What went wrong opening Port (whose device is Path, "" when none) with the system code,
// and who holds the device when it is busy ("" when not known).
struct TOpenFailure {
    std::string Port;
    std::string Path;
    int SystemCode = 0;
    std::string Holder; // "ModemManager (pid 812)"
    // The variable that chose the device ("" when the PC's own list numbered the port): then
    // plugging in an adapter changes nothing, and the variable is what to mend.
    std::string Variable;
};
std::string OpenFailureAdvice(const TOpenFailure& Failure);

// A holder as the busy explanation names it: its command name and process id.
std::string HolderText(const std::string& Command, int Pid);

// The number of a "COMn" name (letters in any case, n from 1), or 0 for any other name.
int ComNumber(const std::string& Port);

} // namespace cport
