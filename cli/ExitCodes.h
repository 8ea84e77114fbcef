// What kestro's exit status says; --help and the manual page list the same, from the table below.
#pragma once

#include <array>
#include <csignal>

namespace cli {

inline constexpr int ExitDone = 0;
inline constexpr int ExitUsage = 2;
inline constexpr int ExitNoLogger = 3; // the port did not open, or nothing answered
inline constexpr int ExitFile = 4;     // a file (standard output too) could not be written
inline constexpr int ExitStopped = 5;  // the logger stopped answering, or its log ended short
inline constexpr int ExitNotTaken = 6; // a setting did not take
// clear refused: the logger holds entries the archive lacks; one status for "not done as asked"
inline constexpr int ExitNotArchived = ExitNotTaken;
inline constexpr int ExitBusy = 7; // another program holds the port
// 128 + the signal's number, as a shell reports a program the signal ended.
inline constexpr int ExitHungUp = 128 + SIGHUP;
inline constexpr int ExitInterrupted = 128 + SIGINT;
inline constexpr int ExitTerminated = 128 + SIGTERM;

struct TExitStatus {
    int Code;
    const char* Meaning;
};

inline constexpr std::array<TExitStatus, 10> ExitStatuses = {{
    {ExitDone, "done; a download has every entry up to the log count in every output"},
    {ExitUsage, "usage error"},
    {ExitNoLogger, "the port did not open, or no logger answered"},
    {ExitFile, "a file or standard output could not be written, or a target is not a regular "
               "file"},
    {ExitStopped, "the logger stopped answering, or its log ended short of the count"},
    {ExitNotTaken, "a setting did not take, or clear refused: the archive lacks entries"},
    {ExitBusy, "another program holds the port (the message names it)"},
    {ExitHungUp, "hung up (SIGHUP)"},
    {ExitInterrupted, "interrupted (SIGINT, Ctrl-C)"},
    {ExitTerminated, "terminated (SIGTERM)"},
}};

// The status for a signal that ended the command; ExitInterrupted for any other.
constexpr int ExitForSignal(int signal) {
    switch (signal) {
    case SIGHUP:
        return ExitHungUp;
    case SIGTERM:
        return ExitTerminated;
    default:
        return ExitInterrupted;
    }
}

} // namespace cli
