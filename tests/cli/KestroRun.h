// Runs the kestro program as a process of its own, as a script would.
#pragma once

#include <map>
#include <string>
#include <vector>

class QProcess;

namespace clitest {

inline constexpr const char* MissingPort = "/nonexistent/kestro-test-port";

struct TRun {
    int Code = -1; // exit status; -1 when it crashed or did not end in time
    std::string Out, Err;
    double Seconds = 0;
};

// Every COMn of the child leads to a missing path unless env names it. With interruptAfterMs
// it gets SIGINT that long after its start, as from Ctrl-C.
TRun RunKestro(const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, int interruptAfterMs = -1);

// Starts kestro in process with the environment RunKestro gives it, for a test that talks to it
// while it runs; false when it did not start.
bool StartKestro(QProcess& process, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});

// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
// Lines without their CR LF; the last line must end with CR LF too, else it is kept as "~"+text.
std::vector<std::string> CrLfLines(const std::string& text);

} // namespace clitest
