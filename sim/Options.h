#pragma once

// The command line of kestro-sim.

#include "sim/Config.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Options {
    Config config;
    std::string link;       // symbolic link to the pty's slave
    std::string device;     // serve this serial device instead of a new pty
    std::string transcript; // every command and reply, one per line
    std::string dumpLog;    // the log memory as log lines, kept up to date
    bool help = false;
    bool version = false; // kestro-sim --version: the program's own, not the firmware's
};

// The arguments after the program name; nullopt with a message in error on a bad option.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);
std::string UsageText();

} // namespace sim
