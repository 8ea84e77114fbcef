// The commands that speak to the logger; each returns kestro's exit status.
#pragma once

#include "cli/CommandLine.h"

namespace cli {

int RunCommand(const TOptions& options);

} // namespace cli
