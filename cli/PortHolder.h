// Who holds a port that would not open: kestro tells a busy port (exit status 7, worth waiting
// for) from one that is missing or forbidden.
#pragma once

#include <string>

namespace cli {

// Whether another program holds the port's device: it keeps the exclusive lock that this
// program's serial layer takes too, or has the device open exclusively. Only asked after the
// serial layer has failed to open it.
bool HeldByAnotherProgram(const std::string& port);

// "/dev/ttyUSB0 is in use by kestro (pid 812); ..." naming the program that holds the device's
// lock; "" when no lock holder can be seen. A process that merely has the device open (a
// simulator holding a pseudo-terminal's other end) is not the one that makes it busy.
std::string BusyAdvice(const std::string& port);

} // namespace cli
