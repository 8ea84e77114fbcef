#include "cport/posix/PosixPortName.h"

#include <cctype>
#include <cstdlib>

namespace cport {

namespace {

// The number of a "COMn" name (n >= 1, letters in any case), or 0 for any other name.
unsigned long ComNumber(const std::string& Port) {
    if (Port.size() < 4)
        return 0;
    for (size_t I = 0; I < 3; ++I)
        if (std::toupper(static_cast<unsigned char>(Port[I])) != "COM"[I])
            return 0;
    unsigned long Number = 0;
    for (size_t I = 3; I < Port.size(); ++I) {
        if (!std::isdigit(static_cast<unsigned char>(Port[I])))
            return 0;
        Number = Number * 10 + static_cast<unsigned long>(Port[I] - '0');
        if (Number > 1000000)
            return 0;
    }
    return Number;
}

} // namespace

std::string PortDevicePath(const std::string& Port) {
    if (!Port.empty() && Port[0] == '/')
        return Port;
    if (unsigned long Number = ComNumber(Port)) {
        const std::string Variable = "QUORVA_COM" + std::to_string(Number);
        if (const char* Path = std::getenv(Variable.c_str()); Path && *Path)
            return Path;
        return "/dev/ttyS" + std::to_string(Number - 1);
    }
    return "/dev/" + Port;
}

} // namespace cport
