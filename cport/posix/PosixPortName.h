// Port names as the program knows them ("COM1", "/dev/ttyUSB0", "ttyACM0") mapped to devices.
#pragma once

#include <string>

namespace cport {

// "/..." is a path; "COMn" takes QUORVA_COMn when set and not empty, else /dev/ttyS<n-1>;
// anything else lives under /dev.
std::string PortDevicePath(const std::string& Port);

} // namespace cport
