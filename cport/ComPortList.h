// This PC's serial ports under their COM numbers, as the port selector and the command line
// offer them, and why one of them did not open.
#pragma once

#include <string>
#include <vector>

namespace cport {

struct TComPortInfo {
    int Number = 0;
    std::string Name;        // "COM1"
    std::string Path;        // the device "COMn" opens now; "" when there is none
    std::string Description; // e.g. "/dev/ttyUSB0: FTDI FT232R USB UART, serial A50285BI"
};

// COM1 to COM<Count> as they stand now: the program's COMn variable where set (empty: no
// device), else the PC's n-th serial port. Opening "COMn" opens exactly the Path listed here.
std::vector<TComPortInfo> ListComPorts(int Count = 8);

// The device opening Port opens now ("" when a COM number has none).
std::string ComPortDevicePath(const std::string& Port);

// The environment variable that decides the device of a "COMn" Port ("PREFIXn", from the
// program's naming), even when it is set empty; "" when the PC's own list numbers it, or Port
// is a path or device name.
std::string ComPortVariable(const std::string& Port);

// One line that says why Port could not be opened, for the system code of the failure
// ("" when there is nothing useful to add).
std::string ExplainOpenFailure(const std::string& Port, int SystemCode);

} // namespace cport
