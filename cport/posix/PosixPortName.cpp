#include "cport/posix/PosixPortName.h"

#include "cport/ComPortList.h"
#include "cport/ComPortRules.h"

namespace cport {

std::string PortDevicePath(const std::string& Port) {
    if (!Port.empty() && Port[0] == '/')
        return Port;
    if (const int Number = ComNumber(Port))
        return ListComPorts(Number).back().Path;
    return "/dev/" + Port;
}

} // namespace cport
