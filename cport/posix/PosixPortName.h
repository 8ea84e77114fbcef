// Port names as the program knows them ("COM1", "/dev/ttyUSB0", "ttyACM0") mapped to devices.
#pragma once

#include <string>

namespace cport {

// "/..." is a path; "COMn" is what ListComPorts lists for it ("" when there is no device);
// anything else lives under /dev.
std::string PortDevicePath(const std::string& Port);

} // namespace cport
