// What kestro makes of its command line before it touches a port.
#include "cli/CommandLine.h"
#include "cli/Report.h"
#include "cli/SetRequest.h"

#include "KestroRun.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <tuple>

namespace {

using cli::TSettingChange;
using klink::Control;
using TKind = TSettingChange::TKind;

TEST(SetRequest, EachKeyReachesTheControlTheWindowWouldChange) {
    std::string error;
    const auto changes =
        cli::ParseSetRequest({"name=Hull One", "zone1=Bow", "zone3=", "material=bronze", "zones=0",
                              "reftype=agagcl", "interval=off", "cyclic=on"},
                             error);
    ASSERT_TRUE(changes) << error;
    ASSERT_EQ(changes->size(), 8u);
    const auto& c = *changes;
    EXPECT_EQ(c[0].Target, Control::KestroName);
    EXPECT_EQ(c[0].Text, "Hull One");
    EXPECT_EQ(c[1].Target, Control::Zone1Text);
    EXPECT_EQ(c[2].Target, Control::Zone3Text);
    EXPECT_EQ(c[2].Text, ""); // an empty description is a value too
    EXPECT_EQ(c[3].Target, Control::MaterialBox);
    EXPECT_EQ(c[3].Item, 3); // "?", "Aluminium", "Steel", "Bronze"
    EXPECT_EQ(c[4].Target, Control::ZonesBox);
    EXPECT_EQ(c[4].Item, 0);
    EXPECT_EQ(c[5].Item, 2); // "?", "Zinc", "Ag AgCl"
    EXPECT_EQ(c[6].Item, 1); // "Off" follows "?"
    EXPECT_EQ(c[7].Kind, TKind::Check);
    EXPECT_TRUE(c[7].Checked);
}

TEST(SetRequest, EveryLogIntervalPicksTheItemOfItsMinutes) {
    const std::pair<const char*, int> table[] = {{"1", 2},    {"2", 3},    {"5", 4},   {"15", 5},
                                                 {"30", 6},   {"60", 7},   {"120", 8}, {"360", 9},
                                                 {"720", 10}, {"1440", 11}};
    for (const auto& [minutes, item] : table) {
        std::string error;
        const auto changes = cli::ParseSetRequest({std::string("interval=") + minutes}, error);
        ASSERT_TRUE(changes) << minutes << ": " << error;
        EXPECT_EQ(changes->front().Item, item) << minutes;
    }
}

TEST(SetRequest, RefusesWhatTheLoggerCannotTake) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"name"},
        {"=Foo"},
        {"colour=red"},
        {"material=wood"},
        {"zones=4"},
        {"reftype=copper"},
        {"interval=3"},
        {"interval=9999"}, // the "?" item's table value is no interval
        {"interval=-1"},
        {"material=null"}, // what info --json prints for a logger that gave none
        {"cyclic=yes"},
        {"name=12345678901234567"},
        {"name=\xe2\x82\xac"}, // the euro sign has no Latin-1 byte
        {"name=A", "name=B"},
        // Read back, a control character would split the log file's header and the CSV.
        {"name=Hull\nTwo"},
        {"zone1=Bow\r"},
        {"zone2=\tKeel"},
        {"zone3=Stern\x7f"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(cli::ParseSetRequest(args, error)) << (args.empty() ? "" : args.front());
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    cli::ParseSetRequest({"name=Hull\nTwo"}, error);
    EXPECT_NE(error.find("control character 0x0A"), std::string::npos) << error;
}

// A script feeds set what info --json printed, or what a person typed in any case.
TEST(SetRequest, TakesEveryValueInfoJsonPrintsInAnyCase) {
    const std::tuple<const char*, Control, int> items[] = {
        {"material=Steel", Control::MaterialBox, 2},
        {"material=ALUMINIUM", Control::MaterialBox, 1},
        {"reftype=AgAgCl", Control::RefType, 2},
        {"reftype=zinc", Control::RefType, 1},
        {"interval=0", Control::LogIntBox, 1},
        {"interval=OFF", Control::LogIntBox, 1},
        {"interval=1440", Control::LogIntBox, 11},
        {"zones=3", Control::ZonesBox, 3},
        {"Zones=0", Control::ZonesBox, 0},
    };
    for (const auto& [arg, target, item] : items) {
        std::string error;
        const auto changes = cli::ParseSetRequest({arg}, error);
        ASSERT_TRUE(changes) << arg << ": " << error;
        EXPECT_EQ(changes->front().Target, target) << arg;
        EXPECT_EQ(changes->front().Item, item) << arg;
    }
    const std::pair<const char*, bool> switches[] = {
        {"cyclic=true", true}, {"cyclic=false", false}, {"cyclic=On", true}, {"cyclic=off", false}};
    for (const auto& [arg, checked] : switches) {
        std::string error;
        const auto changes = cli::ParseSetRequest({arg}, error);
        ASSERT_TRUE(changes) << arg << ": " << error;
        EXPECT_EQ(changes->front().Checked, checked) << arg;
    }
}

// A refusal a user can act on: the values that would have been taken, or the key meant.
TEST(SetRequest, ABadValueNamesTheValidOnesAndAMistypedKeyTheOneMeant) {
    const std::pair<const char*, const char*> table[] = {
        {"material=wood", "aluminium, steel, bronze"},
        {"reftype=copper", "zinc, agagcl"},
        {"interval=3", "off, 0, 1, 2, 5, 15, 30, 60, 120, 360, 720, 1440"},
        {"zones=4", "0, 1, 2, 3"},
        {"cyclic=maybe", "on, off, true, false"},
        {"materail=steel", "did you mean material?"},
        {"colour=red", "name, zone1, zone2, zone3, material, zones, reftype, interval, cyclic"},
    };
    for (const auto& [arg, named] : table) {
        std::string error;
        EXPECT_FALSE(cli::ParseSetRequest({arg}, error)) << arg;
        EXPECT_NE(error.find(named), std::string::npos) << arg << ": " << error;
    }
}

TEST(SetRequest, ATextIsStoredOneBytePerCharacterUpToSixteen) {
    std::string error;
    const auto changes = cli::ParseSetRequest({"name=\xc3\x86r\xc3\xb8 123456789012"}, error);
    ASSERT_TRUE(changes) << error;
    EXPECT_EQ(changes->front().Text, "\xc6r\xf8 123456789012");
    EXPECT_EQ(changes->front().Text.size(), 16u);
}

class TStoredHost : public klink::TLinkHost {
public:
    std::string Stored;
    int Index = -1;
    bool On = false;
    bool PortConnected() const override { return false; }
    bool WriteText(const std::string&) override { return false; }
    void PurgeInput() override {}
    void ClosePort() override {}
    void ClosePortLater() override {}
    std::string OpenPort(const std::string&) override { return {}; }
    void StartReplyTimer(int) override {}
    void StopReplyTimer() override {}
    protocol::DateTime PcNow() const override { return {}; }
    std::string Text(Control) const override { return Stored; }
    void SetText(Control, const std::string&) override {}
    int ItemIndex(Control) const override { return Index; }
    void SetItemIndex(Control, int) override {}
    bool Checked(Control) const override { return On; }
    void SetChecked(Control, bool) override {}
    void SetEnabled(Control, bool) override {}
    void SetColour(Control, klink::Colour) override {}
    void SetCaption(Control, const std::string&) override {}
    void DisableEntries(bool) override {}
    void AppendLogLine(const std::string&) override {}
    void ClearLogDisplay() override {}
    void ShowError(const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    int AskClearConfirmation() override { return 7; }
    std::optional<std::string> AskSaveFileName() override { return {}; }
};

TEST(SetRequest, ATextTookWhenTheLoggerHoldsItPaddedWithBlanks) {
    std::string error;
    const auto name = cli::ParseSetRequest({"name=Hull"}, error)->front();
    TStoredHost host;
    host.Stored = "Hull            ";
    EXPECT_TRUE(cli::ChangeTook(name, host));
    host.Stored = "Hull2           ";
    EXPECT_FALSE(cli::ChangeTook(name, host));
    host.Stored = " Hull";
    EXPECT_FALSE(cli::ChangeTook(name, host));
    const auto steel = cli::ParseSetRequest({"material=steel"}, error)->front();
    host.Index = 2;
    EXPECT_TRUE(cli::ChangeTook(steel, host));
    host.Index = -1;
    EXPECT_FALSE(cli::ChangeTook(steel, host));
    const auto off = cli::ParseSetRequest({"cyclic=off"}, error)->front();
    host.On = true;
    EXPECT_FALSE(cli::ChangeTook(off, host));
}

TEST(CommandLine, EachCommandTakesOnlyItsOwnOptions) {
    std::string error;
    const auto download =
        cli::ParseCommandLine({"download", "-o", "log.txt", "--port", "COM3", "--fast"}, error);
    ASSERT_TRUE(download) << error;
    EXPECT_TRUE(download->Fast);
    EXPECT_EQ(download->Command, "download");
    EXPECT_EQ(download->Output, "log.txt");
    EXPECT_EQ(download->Port, "COM3");
    const auto info = cli::ParseCommandLine({"--quiet", "info", "--json"}, error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->Port, "COM1");
    EXPECT_TRUE(info->Quiet && info->Json);
    const auto set = cli::ParseCommandLine({"set", "name=A", "cyclic=on"}, error);
    ASSERT_TRUE(set) << error;
    EXPECT_EQ(set->Args, (std::vector<std::string>{"name=A", "cyclic=on"}));
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"fetch"},
        {"info", "-o", "x"},
        {"info", "--fast"},
        {"download", "--json"},
        {"info", "extra"},
        {"set-time", "--yes"},
        {"watch", "--frobnicate"},
        {"info", "--port"},
        {"info", "--port", ""},
    };
    for (const auto& args : bad) {
        EXPECT_FALSE(cli::ParseCommandLine(args, error)) << (args.empty() ? "" : args.front());
    }
    const auto help = cli::ParseCommandLine({"--help"}, error);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->Help);
}

// The conventions a Unix user tries first.
TEST(CommandLine, ShortFormsThePortVariableAndRefusalsThatSayWhy) {
    struct TCase {
        std::vector<std::string> Args;
        const char* PortVariable; // KESTRO_PORT, or nullptr for none
        const char* Port;         // the port taken, or nullptr when refused
        const char* Said;         // part of the error when refused
    };
    const TCase cases[] = {
        {{"-p", "COM3", "-q", "info"}, nullptr, "COM3", ""},
        {{"info"}, "/dev/ttyUSB7", "/dev/ttyUSB7", ""},
        {{"info", "--port=COM2"}, "/dev/ttyUSB7", "COM2", ""},
        {{"info"}, "", "COM1", ""},
        {{"ports", "--json"}, nullptr, "COM1", ""},
        {{"download", "-o", "a.txt", "--csv", "a.txt"}, nullptr, nullptr, "same file"},
        {{"download", "--output", "./b.txt", "--csv", "b.txt"}, nullptr, nullptr, "same file"},
        {{"dowload"}, nullptr, nullptr, "did you mean download?"},
        {{"inf", "--json"}, nullptr, nullptr, "did you mean info?"},
        {{"frobnicate"}, nullptr, nullptr, "no such command: frobnicate"},
        {{"info", "-o", "x"}, nullptr, nullptr, "info takes no option -o"},
        // One output, and only one, may go to standard output; the log goes there without -o.
        {{"download", "-o", "-", "--csv", "x.csv"}, nullptr, "COM1", ""},
        {{"download", "-o", "x.txt", "--csv", "-"}, nullptr, "COM1", ""},
        {{"download", "-o", "-", "--csv", "-"}, nullptr, nullptr, "cannot both go to standard"},
        {{"download", "--csv", "-"}, nullptr, nullptr, "needs -o FILE"},
        {{"info", "--wait", "30"}, nullptr, "COM1", ""},
        {{"info", "--wait", "soon"}, nullptr, nullptr, "--wait needs a number"},
        {{"watch", "--wait", "-5"}, nullptr, nullptr, "--wait needs a number"},
        {{"ports", "--wait", "5"}, nullptr, nullptr, "ports takes no option --wait"},
    };
    for (const TCase& c : cases) {
        if (c.PortVariable)
            setenv(cli::PortVariable, c.PortVariable, 1);
        std::string error;
        const auto options = cli::ParseCommandLine(c.Args, error);
        unsetenv(cli::PortVariable);
        const std::string shown = c.Args.front() + (c.Args.size() > 1 ? " " + c.Args[1] : "");
        if (!c.Port) {
            EXPECT_FALSE(options) << shown;
            EXPECT_NE(error.find(c.Said), std::string::npos) << shown << ": " << error;
            continue;
        }
        ASSERT_TRUE(options) << shown << ": " << error;
        EXPECT_EQ(options->Port, c.Port) << shown;
    }
    std::string error;
    const auto quiet = cli::ParseCommandLine({"-q", "info"}, error);
    ASSERT_TRUE(quiet);
    EXPECT_TRUE(quiet->Quiet);
    const auto version = cli::ParseCommandLine({"-V"}, error);
    ASSERT_TRUE(version);
    EXPECT_TRUE(version->Version);
}

// kestro COMMAND --help: that command's usage and options, nothing else, and no port opened.
TEST(CommandLine, EachCommandHasItsOwnHelpWithOnlyItsOwnOptions) {
    for (const cli::TCommandEntry& command : cli::CommandTable()) {
        const std::string help = cli::CommandHelpText(command.Name);
        const std::string usage = "Usage: kestro " + command.Name;
        EXPECT_EQ(help.rfind(usage, 0), 0u) << help;
        EXPECT_TRUE(help[usage.size()] == ' ' || help[usage.size()] == '\n') << help;
        for (const cli::TOptionEntry& option : cli::OptionTable()) {
            const bool takes =
                option.Commands.empty() ||
                std::count(option.Commands.begin(), option.Commands.end(), command.Name) > 0;
            EXPECT_EQ(help.find("--" + option.Long) != std::string::npos, takes)
                << command.Name << " --" << option.Long;
        }
        const clitest::TRun run = clitest::RunKestro({command.Name, "--help"});
        EXPECT_EQ(run.Code, 0) << command.Name << ": " << run.Err;
        EXPECT_EQ(run.Out, help) << command.Name;
    }
    EXPECT_EQ(cli::CommandHelpText("fetch"), "");
}

// The completion script is written by hand; this keeps it from falling behind the tables.
TEST(Completion, OffersEveryCommandOptionAndSettingKey) {
    std::ifstream file(QUORVA_SOURCE_DIR "/packaging/kestro.bash-completion");
    const std::string script((std::istreambuf_iterator<char>(file)), {});
    ASSERT_FALSE(script.empty());
    // The script's words: letters, digits and dashes.
    std::set<std::string> offered;
    std::string word;
    for (const char c : script + " ") {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
            word += c;
        } else if (!word.empty()) {
            offered.insert(word);
            word.clear();
        }
    }
    std::vector<std::string> wanted;
    for (const cli::TCommandEntry& command : cli::CommandTable())
        wanted.push_back(command.Name);
    for (const cli::TOptionEntry& option : cli::OptionTable()) {
        wanted.push_back("--" + option.Long);
        if (!option.Short.empty())
            wanted.push_back("-" + option.Short);
    }
    for (const char* key :
         {"name", "zone1", "zone2", "zone3", "material", "zones", "reftype", "interval", "cyclic"})
        wanted.push_back(key);
    for (const std::string& w : wanted)
        EXPECT_TRUE(offered.count(w)) << w;
}

TEST(CommandLine, TheHelpListsEveryExitStatus) {
    const std::string help = cli::HelpText();
    for (const char* line : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  6 ", "\n  7 ",
                             "\n  129 ", "\n  130 ", "\n  143 "})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

TEST(Progress, SaysTheRateAndTimeLeftOnceThereIsOne) {
    EXPECT_EQ(cli::ProgressText(0, 511, 0.0), "entry 0 of 511");
    EXPECT_EQ(cli::ProgressText(125, 511, 10.0), "entry 125 of 511, 12.5 entries/s, 0:31 left");
    EXPECT_EQ(cli::ProgressText(100, 4090, 8.0), "entry 100 of 4090, 12.5 entries/s, 5:19 left");
    EXPECT_EQ(cli::ProgressText(511, 511, 40.0), "entry 511 of 511, 12.8 entries/s");
}

} // namespace
