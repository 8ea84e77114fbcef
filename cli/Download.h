// kestro download: the log into the same file as the window's Get Logs.
#pragma once

#include "cli/CommandLine.h"
#include "cli/Session.h"

namespace cli {

// The session has read one whole poll cycle, so the header holds fresh values.
int Download(TSession& session, const TOptions& options);

} // namespace cli
