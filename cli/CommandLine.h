// kestro's command line: the command, its arguments and the common options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct TOptions {
    std::string Command; // info, download, set, set-time, clear, watch, ports, history
    std::vector<std::string> Args;
    std::string Port = "COM1"; // --port, else KESTRO_PORT, else COM1
    bool Quiet = false;
    bool Json = false;
    bool Yes = false;
    std::string Output;  // download -o; "" or "-" writes the log to standard output
    std::string Csv;     // download --csv; "" writes none, "-" to standard output
    bool Fast = false;   // download --fast: the next request as soon as a reply is in
    int WaitSeconds = 0; // --wait: how long a busy port or a silent logger is tried again
    bool Help = false;   // with a command: that command's help
    bool Version = false;

    // The archive of downloads.
    std::string Archive; // --archive; "" is the default archive
    bool NoArchive = false;
    bool Force = false; // clear --force: erase even what the archive lacks
    std::string Serial; // history --serial
};

// One option: its names, the value it takes ("" for a switch), and the commands that take it
// (empty: every command). --help, the manual page, completion and the parser read this table.
struct TOptionEntry {
    std::string Short; // "p", or ""
    std::string Long;  // "port"
    std::string Value; // "PORT", or "" for a switch
    std::vector<std::string> Commands;
    std::string Help;
};

struct TCommandEntry {
    std::string Name;
    std::string Arguments; // "KEY=VALUE..." for set
    std::string Summary;   // one line
    std::string Help;      // what it does, for COMMAND --help
};

const std::vector<TCommandEntry>& CommandTable();
const std::vector<TOptionEntry>& OptionTable();

// -o - and --csv -.
inline constexpr const char* StandardOutput = "-";

// The environment variable that names the default port.
inline constexpr const char* PortVariable = "KESTRO_PORT";

// Arguments after the program name. nullopt with a message in error for a usage error.
std::optional<TOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

std::string HelpText();
// "kestro download --help"; "" for a command that does not exist.
std::string CommandHelpText(const std::string& command);
std::string VersionText();

} // namespace cli
