// kestro: the Corrosion Kestro from the command line, through the window's own link logic.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/History.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    const auto options = cli::ParseCommandLine({argv + 1, argv + argc}, error);
    if (!options) {
        std::fprintf(stderr, "kestro: %s\nTry 'kestro --help'.\n", error.c_str());
        return cli::ExitUsage;
    }
    if (options->Help) {
        const std::string help =
            options->Command.empty() ? cli::HelpText() : cli::CommandHelpText(options->Command);
        std::fputs(help.c_str(), stdout);
        return cli::ExitDone;
    }
    if (options->Version) {
        std::fputs(cli::VersionText().c_str(), stdout);
        return cli::ExitDone;
    }
    // The archive needs no logger and no port.
    if (options->Command == "history")
        return cli::History(*options);
    return cli::RunCommand(*options);
}
