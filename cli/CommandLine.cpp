#include "cli/CommandLine.h"

#include "cli/SetRequest.h"

#include <QCommandLineParser>
#include <QStringList>
#include <map>
#include <set>

namespace cli {

namespace {

// The options each command takes besides --port, --quiet, --help and --version.
const std::map<std::string, std::set<std::string>>& CommandOptions() {
    static const std::map<std::string, std::set<std::string>> commands = {
        {"info", {"json"}},
        {"download", {"o", "csv", "fast"}},
        {"set", {}},
        {"set-time", {}},
        {"clear", {"yes", "force"}},
        {"watch", {"json"}},
        {"ports", {}},
        {"history", {"serial", "csv", "json"}},
    };
    return commands;
}

bool TakesArguments(const std::string& command) {
    return command == "set";
}

bool ParseArchiveOptions(const QCommandLineParser& parser, TOptions& o, std::string& error) {
    o.Archive = parser.value("archive").toLocal8Bit().toStdString();
    o.NoArchive = parser.isSet("no-archive");
    o.Force = parser.isSet("force");
    o.Serial = parser.value("serial").toLocal8Bit().toStdString();
    if (parser.isSet("archive") && o.Archive.empty())
        error = "--archive needs a file name";
    else if (parser.isSet("archive") && o.NoArchive)
        error = "--archive and --no-archive exclude each other";
    else if (o.Command == "history" && o.NoArchive)
        error = "history reads the archive; it cannot go with --no-archive";
    else if (parser.isSet("serial") && o.Serial.empty())
        error = "--serial needs a serial number or a name";
    else if (o.Command == "history" && !o.Csv.empty() && o.Serial.empty())
        error = "history --csv needs --serial";
    else if (!o.Csv.empty() && o.Json)
        error = "history takes --csv or --json, not both";
    return error.empty();
}

} // namespace

std::optional<TOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port("port", "", "port", "COM1");
    const QCommandLineOption quiet("quiet");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    const QCommandLineOption json("json");
    const QCommandLineOption yes("yes");
    const QCommandLineOption output("o", "", "file");
    const QCommandLineOption csv("csv", "", "file");
    const QCommandLineOption fast("fast");
    const QCommandLineOption archive("archive", "", "path");
    const QCommandLineOption noArchive("no-archive");
    const QCommandLineOption force("force");
    const QCommandLineOption serial("serial", "", "serial");
    parser.addOptions({port, quiet, help, version, json, yes, output, csv, fast, archive, noArchive,
                       force, serial});
    QStringList words{"kestro"};
    for (const std::string& arg : args)
        words << QString::fromLocal8Bit(arg);
    if (!parser.parse(words)) {
        error = parser.errorText().toLocal8Bit().toStdString();
        return std::nullopt;
    }
    TOptions o;
    o.Help = parser.isSet(help);
    o.Version = parser.isSet(version);
    if (o.Help || o.Version)
        return o;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        error = "no command given";
        return std::nullopt;
    }
    o.Command = positional.first().toLocal8Bit().toStdString();
    const auto command = CommandOptions().find(o.Command);
    if (command == CommandOptions().end()) {
        error = "no such command: " + o.Command;
        return std::nullopt;
    }
    for (qsizetype i = 1; i < positional.size(); ++i)
        o.Args.push_back(positional[i].toLocal8Bit().toStdString());
    if (!TakesArguments(o.Command) && !o.Args.empty()) {
        error = o.Command + " takes no argument \"" + o.Args.front() + "\"";
        return std::nullopt;
    }
    for (const QString& name : parser.optionNames()) {
        const std::string n = name.toStdString();
        if (n == "port" || n == "quiet" || n == "archive" || n == "no-archive")
            continue;
        if (!command->second.count(n)) {
            error = o.Command + " takes no option " + (n.size() == 1 ? "-" : "--") + n;
            return std::nullopt;
        }
    }
    o.Port = parser.value(port).toLocal8Bit().toStdString();
    if (o.Port.empty()) {
        error = "--port needs a COM number or a path";
        return std::nullopt;
    }
    o.Quiet = parser.isSet(quiet);
    o.Json = parser.isSet(json);
    o.Yes = parser.isSet(yes);
    o.Fast = parser.isSet(fast);
    o.Output = parser.value(output).toLocal8Bit().toStdString();
    o.Csv = parser.value(csv).toLocal8Bit().toStdString();
    if ((parser.isSet(output) && o.Output.empty()) || (parser.isSet(csv) && o.Csv.empty())) {
        error = "-o and --csv need a file name";
        return std::nullopt;
    }
    if (!ParseArchiveOptions(parser, o, error))
        return std::nullopt;
    return o;
}

std::string VersionText() {
    return "kestro " QUORVA_VERSION "\n";
}

std::string HelpText() {
    return "Usage: kestro [OPTION]... COMMAND [ARGUMENT]...\n"
           "Look after a Corrosion Kestro logger on a serial port, from scripts and cron.\n"
           "Every command speaks to the logger as the Quorva window does: the same commands,\n"
           "one question at a time, and the same log file.\n"
           "\n"
           "Commands:\n"
           "  ports                 the COM numbers and what is behind each, as the window's\n"
           "                        port selector offers them\n"
           "  info [--json]         one full poll cycle, then every value the window shows\n"
           "  download [-o FILE] [--csv FILE] [--fast]\n"
           "                        the whole log into a text file as Get Logs writes it\n"
           "                        (standard output without -o), and as CSV as the log\n"
           "                        viewer exports it; on a terminal a progress line,\n"
           "                        otherwise nothing but errors\n"
           "  set KEY=VALUE...      change settings, then read them back with a poll cycle\n"
           "  set-time              set the logger's clock from the PC's, then read it back\n"
           "  clear --yes           erase the log memory, wait through the erase and print\n"
           "                        the log count; refuses without --yes\n"
           "  watch [--json]        the zone readings and battery, one line per poll cycle,\n"
           "                        until interrupted\n"
           "  history [--serial S [--csv FILE]] [--json]\n"
           "                        the archived loggers; with --serial, every archived entry\n"
           "                        of that logger (serial number, or name when it has none)\n"
           "                        as CSV on standard output or into FILE; --json for either\n"
           "\n"
           "Settings for set:\n" +
           SetKeysHelp() +
           "\n"
           "Options:\n"
           "  --port COMn|PATH      the serial port (default COM1); COMn as the window\n"
           "                        numbers them, or the path of a device\n"
           "  --quiet               print nothing but errors\n"
           "  --json                info, watch and history: JSON instead of text\n"
           "  -o FILE               download: the log file to write (replaced if it exists)\n"
           "  --csv FILE            download: also the log as CSV (replaced if it exists)\n"
           "  --fast                download: ask for the next entry as soon as one is in,\n"
           "                        not on the next 80 ms tick; still one question at a\n"
           "                        time, but faster than the logger has been used to\n"
           "  --yes                 clear: really erase the log memory\n"
           "  --force               clear: erase even entries the archive does not hold\n"
           "  --archive PATH        the archive every download goes into (default\n"
           "                        $QUORVA_ARCHIVE, else $XDG_DATA_HOME/quorva/archive.sqlite3)\n"
           "  --no-archive          download and clear: leave the archive alone\n"
           "  -h, --help            show this help and exit\n"
           "  --version             show the version and exit\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  2    usage error\n"
           "  3    the port did not open, or no logger answered\n"
           "  4    a file could not be written\n"
           "  5    the logger stopped answering\n"
           "  6    a setting did not take, or clear refused: the archive lacks entries\n"
           "  130  interrupted (a log file keeps the entries read so far)\n";
}

} // namespace cli
