// kestro's command line: the command, its arguments and the common options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct TOptions {
    std::string Command; // info, download, set, set-time, clear, watch, ports, history
    std::vector<std::string> Args;
    std::string Port = "COM1";
    bool Quiet = false;
    bool Json = false;
    bool Yes = false;
    std::string Output; // download -o; "" writes the log to standard output
    std::string Csv;    // download --csv; "" writes none
    bool Fast = false;  // download --fast: the next request as soon as a reply is in
    bool Help = false;
    bool Version = false;

    // The archive of downloads.
    std::string Archive; // --archive; "" is the default archive
    bool NoArchive = false;
    bool Force = false; // clear --force: erase even what the archive lacks
    std::string Serial; // history --serial
};

// Arguments after the program name. nullopt with a message in error for a usage error.
std::optional<TOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

std::string HelpText();
std::string VersionText();

} // namespace cli
