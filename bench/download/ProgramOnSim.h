// The real main window, offscreen with its own timers and port, against a simulator process.
#pragma once

#include "SimProcess.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app {
class TForm1;
}

namespace bench {

// What the logger is and holds for one run.
struct TLoggerSetup {
    std::string Version = "KV1.0 511";
    int Logs = 20;
    int ReplyDelayMs = 0; // the logger's wait before every reply
    // COM2 and up left to the PC's own port list instead of leading nowhere.
    bool OwnPortList = false;
};

// A version text whose 6th character gives the logger that capacity.
std::string VersionForCapacity(int Capacity);
// The smallest capacity that holds Entries.
int CapacityFor(int Entries);

class TProgramOnSim {
public:
    TProgramOnSim(const std::string& SimProgram, const TLoggerSetup& Setup,
                  const std::string& WorkDir);
    ~TProgramOnSim();
    TProgramOnSim(const TProgramOnSim&) = delete;
    TProgramOnSim& operator=(const TProgramOnSim&) = delete;

    // Runs the event loop until Done holds or the time is up; returns Done().
    bool WaitFor(const std::function<bool()>& Done, int Milliseconds, int CheckEveryMs = 10);
    // Runs the event loop for a while and nothing else.
    void RunFor(int Milliseconds);
    // "  Kestro Ready" with the logger's capacity known from its version.
    bool WaitForReady(int Capacity, int Milliseconds);
    bool Ready() const;

    app::TForm1& Form() { return *FForm; }
    const std::string& DumpPath() const { return FDumpPath; }
    // Error and information boxes the program showed, in order.
    const std::vector<std::string>& Boxes() const { return FBoxes; }

private:
    TSimProcess FSim;
    std::string FDumpPath;
    std::unique_ptr<app::TForm1> FForm;
    std::vector<std::string> FBoxes;
};

} // namespace bench
