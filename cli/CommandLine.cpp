#include "cli/CommandLine.h"

#include "cli/ExitCodes.h"
#include "cli/SetRequest.h"
#include "cli/Suggest.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace cli {

namespace {

const std::vector<std::string> All; // an option every command takes
const std::vector<std::string> PortCommands = {"info",     "download", "set",
                                               "set-time", "clear",    "watch"};
// A day: a cron job that waits longer has lost track of time.
constexpr int LongestWait = 86400;

// The help's second column starts here.
constexpr std::size_t HelpColumn = 24;

} // namespace

const std::vector<TCommandEntry>& CommandTable() {
    static const std::vector<TCommandEntry> commands = {
        {"ports", "", "the COM numbers and what is behind each",
         "List COM1 to COM8 as the window's port selector offers them, each with the device it\n"
         "opens now (and the QUORVA_COMn variable that names it, where one does).\n"},
        {"info", "", "one full poll cycle, then every value the window shows",
         "Read the logger's settings, clock and readings with one full poll cycle and print them.\n"
         "With --json the values are typed: numbers for the interval (minutes), zones, log count\n"
         "and capacity; the words set takes for material and reference; the PC time with its\n"
         "offset, the logger's clock without one (it has none) and how far it is ahead of the\n"
         "PC in seconds; null for a value the logger did not give and for a zone that is off.\n"
         "Every value it prints is taken by set.\n"},
        {"download", "", "the whole log into a text file and as CSV",
         "Download the whole log into a text file as Get Logs writes it (standard output without\n"
         "-o), and as CSV as the log viewer exports it. On a terminal a progress line, otherwise\n"
         "nothing but errors.\n"},
        {"set", "KEY=VALUE...", "change settings, then read them back",
         "Change settings as the window's controls would, then read them back with a poll cycle;\n"
         "exit status 6 names each one that did not take.\n"},
        {"set-time", "", "set the logger's clock from the PC's",
         "Set the logger's clock from the PC's local time, then read it back.\n"},
        {"clear", "", "erase the log memory (needs --yes)",
         "Erase the log memory, wait through the erase and print the new log count; refuses\n"
         "without --yes.\n"},
        {"watch", "", "the zone readings and battery, once per poll cycle",
         "Print the zone readings and battery, one line per poll cycle, until interrupted.\n"},
        {"history", "", "the archived loggers, or one logger's entries",
         "List the loggers in the archive of downloads; with --serial, every archived entry of\n"
         "that logger (serial number, or name when it has none) as CSV on standard output or\n"
         "into the --csv file; --json for either.\n"},
    };
    return commands;
}

// One row per option; a new option is one more row.
const std::vector<TOptionEntry>& OptionTable() {
    static const std::vector<TOptionEntry> options = {
        {"p", "port", "PORT", All,
         "the serial port: COMn as the window numbers them, or the path of a device "
         "(default: $KESTRO_PORT, else COM1)"},
        {"q", "quiet", "", All, "print nothing but errors"},
        {"", "json", "", {"info", "watch", "ports", "history"}, "JSON instead of text"},
        {"o",
         "output",
         "FILE",
         {"download"},
         "the log file to write, - for standard output (the default); an earlier FILE is replaced "
         "only by a complete download, otherwise what was read is kept as FILE.part"},
        {"",
         "csv",
         "FILE",
         {"download", "history"},
         "also the log as CSV, - for standard output; replaced as -o is"},
        {"",
         "fast",
         "",
         {"download"},
         "ask for the next entry as soon as one is in, not on the next 80 ms tick; still one "
         "question at a time, but faster than the logger has been used to"},
        {"", "yes", "", {"clear"}, "really erase the log memory"},
        {"", "wait", "SECONDS", PortCommands,
         "keep trying a port that another program holds, or a logger that does not answer yet, "
         "for up to SECONDS"},
        {"", "force", "", {"clear"}, "erase even entries the archive does not hold"},
        {"", "serial", "SERIAL", {"history"}, "one logger's entries (its serial number, or name)"},
        {"", "archive", "PATH", All,
         "the archive every download goes into (default: $QUORVA_ARCHIVE, else "
         "$XDG_DATA_HOME/quorva/archive.sqlite3)"},
        {"", "no-archive", "", All, "leave the archive alone"},
        {"h", "help", "", All, "show this help (after a command: that command's) and exit"},
        {"V", "version", "", All, "show the version and exit"},
    };
    return options;
}

namespace {

const TCommandEntry* FindCommand(const std::string& name) {
    for (const TCommandEntry& c : CommandTable())
        if (c.Name == name)
            return &c;
    return nullptr;
}

bool Takes(const TOptionEntry& option, const std::string& command) {
    return option.Commands.empty() || std::find(option.Commands.begin(), option.Commands.end(),
                                                command) != option.Commands.end();
}

const TOptionEntry* FindOption(const std::string& name) {
    for (const TOptionEntry& o : OptionTable())
        if (o.Long == name || o.Short == name)
            return &o;
    return nullptr;
}

QCommandLineOption ParserOption(const TOptionEntry& entry) {
    QStringList names;
    if (!entry.Short.empty())
        names << QString::fromStdString(entry.Short);
    names << QString::fromStdString(entry.Long);
    if (entry.Value.empty())
        return QCommandLineOption(names);
    return QCommandLineOption(names, "", QString::fromStdString(entry.Value));
}

std::string Local(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Words wrapped to the help's second column, 79 characters wide.
std::string Wrapped(const std::string& first, const std::string& text) {
    std::string out = "  " + first;
    std::size_t column = out.size();
    if (column + 2 > HelpColumn) {
        out += "\n";
        column = 0;
    }
    out += std::string(HelpColumn - column, ' ');
    column = HelpColumn;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (column > HelpColumn && column + 1 + word.size() > 79) {
            out += "\n" + std::string(HelpColumn, ' ');
            column = HelpColumn;
        } else if (column > HelpColumn) {
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
        start = end + 1;
    }
    return out + "\n";
}

std::string OptionHelp(const TOptionEntry& o) {
    std::string names = o.Short.empty() ? "    " : "-" + o.Short + ", ";
    names += "--" + o.Long;
    if (!o.Value.empty())
        names += "=" + o.Value;
    return Wrapped(names, o.Help);
}

std::string CommandUsage(const TCommandEntry& c) {
    std::string usage = "kestro " + c.Name;
    for (const TOptionEntry& o : OptionTable()) {
        if (o.Commands.empty())
            continue;
        if (Takes(o, c.Name))
            usage += " [--" + o.Long + (o.Value.empty() ? "" : " " + o.Value) + "]";
    }
    return usage + (c.Arguments.empty() ? "" : " " + c.Arguments);
}

std::string ExitStatusHelp() {
    std::string text = "Exit status:\n";
    for (const TExitStatus& status : ExitStatuses) {
        std::string code = std::to_string(status.Code);
        code.resize(5, ' ');
        text += Wrapped(code, status.Meaning);
    }
    return text;
}

// -o and --csv naming one file would leave only the CSV.
bool SameFile(const std::string& a, const std::string& b) {
    const QFileInfo x(QString::fromLocal8Bit(a)), y(QString::fromLocal8Bit(b));
    if (x.exists() && y.exists())
        return x.canonicalFilePath() == y.canonicalFilePath();
    return x.absoluteFilePath() == y.absoluteFilePath();
}

// Checks each option given against the command; "" when all are its own.
std::string ForeignOption(const QCommandLineParser& parser, const std::string& command) {
    for (const QString& name : parser.optionNames()) {
        const TOptionEntry* entry = FindOption(name.toStdString());
        if (entry && !Takes(*entry, command))
            return command + " takes no option " + (name.size() == 1 ? "-" : "--") + Local(name);
    }
    return {};
}

// "-" sends one output, and only one, to standard output; the log goes there without -o.
bool ParseOutputs(const TOptions& o, std::string& error) {
    if (o.Command != "download" || o.Csv != StandardOutput)
        return true;
    if (o.Output == StandardOutput)
        error = "-o - and --csv - cannot both go to standard output";
    else if (o.Output.empty())
        error = "--csv - needs -o FILE: the log goes to standard output without it";
    return error.empty();
}

bool ParseArchiveOptions(const QCommandLineParser& parser, TOptions& o, std::string& error) {
    o.Archive = Local(parser.value("archive"));
    o.NoArchive = parser.isSet("no-archive");
    o.Force = parser.isSet("force");
    o.Serial = Local(parser.value("serial"));
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
    for (const TOptionEntry& entry : OptionTable())
        parser.addOption(ParserOption(entry));
    QStringList words{"kestro"};
    for (const std::string& arg : args)
        words << QString::fromLocal8Bit(arg);
    if (!parser.parse(words)) {
        error = Local(parser.errorText());
        return std::nullopt;
    }
    TOptions o;
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty())
        o.Command = Local(positional.first());
    o.Help = parser.isSet("help");
    o.Version = parser.isSet("version");
    if (o.Version || (o.Help && (o.Command.empty() || FindCommand(o.Command)))) {
        return o;
    }
    if (o.Command.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    if (!FindCommand(o.Command)) {
        std::vector<std::string> names;
        for (const TCommandEntry& c : CommandTable())
            names.push_back(c.Name);
        const std::string guess = ClosestChoice(o.Command, names);
        error = "no such command: " + o.Command +
                (guess.empty() ? "" : " (did you mean " + guess + "?)");
        return std::nullopt;
    }
    for (qsizetype i = 1; i < positional.size(); ++i)
        o.Args.push_back(Local(positional[i]));
    if (FindCommand(o.Command)->Arguments.empty() && !o.Args.empty()) {
        error = o.Command + " takes no argument \"" + o.Args.front() + "\"";
        return std::nullopt;
    }
    if (error = ForeignOption(parser, o.Command); !error.empty())
        return std::nullopt;
    if (parser.isSet("port")) {
        o.Port = Local(parser.value("port"));
    } else if (const char* port = std::getenv(PortVariable); port && *port) {
        o.Port = port;
    }
    if (o.Port.empty()) {
        error = "--port needs a COM number or a path";
        return std::nullopt;
    }
    o.Quiet = parser.isSet("quiet");
    o.Json = parser.isSet("json");
    o.Yes = parser.isSet("yes");
    o.Fast = parser.isSet("fast");
    o.Output = Local(parser.value("output"));
    o.Csv = Local(parser.value("csv"));
    if ((parser.isSet("output") && o.Output.empty()) || (parser.isSet("csv") && o.Csv.empty())) {
        error = "-o and --csv need a file name";
        return std::nullopt;
    }
    if (!ParseOutputs(o, error))
        return std::nullopt;
    if (parser.isSet("wait")) {
        bool number = false;
        o.WaitSeconds = parser.value("wait").toInt(&number);
        if (!number || o.WaitSeconds < 0 || o.WaitSeconds > LongestWait) {
            error = "--wait needs a number of seconds from 0 to " + std::to_string(LongestWait);
            return std::nullopt;
        }
    }
    if (!o.Output.empty() && !o.Csv.empty() && o.Output != StandardOutput &&
        o.Csv != StandardOutput && SameFile(o.Output, o.Csv)) {
        error = "-o and --csv name the same file, " + o.Csv + "; the CSV would replace the log";
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
    std::string text = "Usage: kestro [OPTION]... COMMAND [ARGUMENT]...\n"
                       "Look after a Corrosion Kestro logger on a serial port, from scripts and "
                       "cron.\n"
                       "Every command speaks to the logger as the Quorva window does: the same "
                       "commands,\n"
                       "one question at a time, and the same log file. 'kestro COMMAND --help' "
                       "tells more.\n"
                       "\n"
                       "Commands:\n";
    for (const TCommandEntry& c : CommandTable())
        text += Wrapped(c.Name + (c.Arguments.empty() ? "" : " " + c.Arguments), c.Summary);
    text += "\nSettings for set (words in any case; every value of info's JSON is taken):\n" +
            SetKeysHelp() + "\n" + ExitStatusHelp() + "\nOptions:\n";
    for (const TOptionEntry& o : OptionTable()) {
        std::string help = o.Help;
        if (!o.Commands.empty()) {
            std::string commands;
            for (const std::string& c : o.Commands)
                commands += (commands.empty() ? "" : ", ") + c;
            help = commands + ": " + help;
        }
        TOptionEntry shown = o;
        shown.Help = help;
        text += OptionHelp(shown);
    }
    text += "\nEnvironment:\n";
    text += Wrapped(PortVariable, "the port when --port is not given");
    text += Wrapped("QUORVA_COMn", "the device that COMn opens, as for the window");
    text += Wrapped("QUORVA_ARCHIVE", "the archive when --archive is not given");
    return text;
}

std::string CommandHelpText(const std::string& command) {
    const TCommandEntry* c = FindCommand(command);
    if (!c)
        return {};
    std::string text = "Usage: " + CommandUsage(*c) + "\n" + c->Help;
    if (c->Name == "set")
        text += "\nSettings:\n" + SetKeysHelp();
    text += "\nOptions:\n";
    for (const TOptionEntry& o : OptionTable())
        if (Takes(o, c->Name))
            text += OptionHelp(o);
    return text + "\n" + ExitStatusHelp();
}

} // namespace cli
