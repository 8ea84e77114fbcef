// The simulated logger as a process of its own, so its CPU and memory are not the program's.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

class TSimProcess {
public:
    TSimProcess() = default;
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;
    ~TSimProcess();

    // Starts the simulator with Args and waits for the pseudo-terminal path it prints first.
    // Throws std::runtime_error when it does not start or names no path within a few seconds.
    void Start(const std::string& Program, const std::vector<std::string>& Args);
    // Asks the simulator to end (SIGTERM) and reaps it; it writes its last log dump on the way.
    void Stop();

    const std::string& Path() const { return FPath; }

private:
    std::string ReadFirstLine(int TimeoutMs);

    pid_t FPid = -1;
    int FOut = -1; // read end of the simulator's standard output
    std::string FPath;
};

} // namespace bench
