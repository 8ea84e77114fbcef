// What kestro's exit status says; --help and the manual page list the same.
#pragma once

namespace cli {

inline constexpr int ExitDone = 0;
inline constexpr int ExitUsage = 2;
inline constexpr int ExitNoLogger = 3;      // the port did not open, or nothing answered
inline constexpr int ExitFile = 4;          // a file could not be written
inline constexpr int ExitStopped = 5;       // the logger stopped answering
inline constexpr int ExitNotTaken = 6;      // a setting did not take
inline constexpr int ExitInterrupted = 130; // 128 + SIGINT, as a shell reports it
// clear refused: the logger holds entries the archive lacks; one status for "not done as asked"
inline constexpr int ExitNotArchived = ExitNotTaken;

} // namespace cli
