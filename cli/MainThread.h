// The serial layer's hand-over to the main thread, served by the Qt event loop.
#pragma once

#include <functional>

namespace cli {

// Marks this thread as the main one and has the port's event thread wake the Qt loop.
// Exceptions that escape a delivered event go to OnError.
void InstallMainThreadHooks(std::function<void(const char* message)> onError);

// Runs Call on the loop once no hand-over is running: closing a port from inside its own
// hand-over would wait for itself.
void RunAfterHandOver(std::function<void()> call);

} // namespace cli
