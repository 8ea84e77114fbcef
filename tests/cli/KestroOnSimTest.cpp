// The kestro program against the simulated logger on a pseudo-terminal, each command as a
// script would run it.
#include "KestroRun.h"
#include "tests/sim/SimTestSupport.h"

#include "logdata/LogCsv.h"
#include "protocol/Commands.h"
#include "protocol/DateTime.h"
#include "sim/Line.h"
#include "sim/LogMemory.h"
#include "sim/PtyRunner.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace clitest {
namespace {

constexpr int HeaderLines = 21;
constexpr int PcTimeLine = 15; // counted from 0

// "12,2026-08-14T05:20:00,2026-08-14T04:20:00Z,-120,-85,0,0,0,0," with the PC's offset from
// UTC now, when the log is downloaded: the logger's clock knows no daylight saving.
std::string CsvRow(int index, const sim::LogRecord& record) {
    const int offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
    std::string row = std::to_string(index) + "," + logdata::LoggerTimeText(record.minutes) + "," +
                      logdata::UtcTimeText(record.minutes, offset);
    for (int16_t v : record.values)
        row += "," + std::to_string(v);
    return row + ",";
}

void WriteText(const std::string& path, const std::string& text) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path;
    file.write(text.data(), static_cast<qint64>(text.size()));
}

class KestroOnSim : public ::testing::Test {
protected:
    void Start(sim::Config config, sim::Kestro::SteadyMs steadyMs = {}) {
        Runner = std::make_unique<sim::PtyRunner>(config, std::move(steadyMs));
        Runner->Start();
    }
    TRun Kestro(std::vector<std::string> args) {
        args.push_back("--port");
        args.push_back(Runner->Path());
        return RunKestro(args);
    }
    // What the file must hold after the header: entry 0 (the log count read as an entry),
    // then the log memory.
    std::string ExpectedData() const {
        return Runner->Inspect([](const sim::Kestro& k) {
            const std::string zero = k.CountEntryLine();
            return (zero.empty() ? zero : zero + "\r\n") + k.LogDump();
        });
    }
    // A read asks and writes nothing into the logger: every command is a lower-case question
    // (a poll or a log request); the upper-case ones set a value or clear the log.
    void ExpectOnlyQuestions() const {
        for (const std::string& command : Sent())
            EXPECT_TRUE(command.size() > 1 && std::islower(static_cast<unsigned char>(command[1])))
                << command;
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> commands;
        for (const std::string& line : Runner->Transcript())
            if (line.find(" RX ") != std::string::npos)
                commands.push_back(line.substr(line.find(" RX ") + 4));
        return commands;
    }

    QTemporaryDir Dir;
    std::unique_ptr<sim::PtyRunner> Runner;
};

TEST_F(KestroOnSim, InfoShowsTheLoggersSettingsAndReadingsAfterAPollCycle) {
    sim::Config config = simtest::TestConfig();
    config.name = "\xc6r\xf8 Hull"; // one byte per character on the line
    config.material = 2;
    config.zones = 2;
    config.refType = 1;
    config.logInterval = 60;
    config.cyclic = true;
    config.logs = 17;
    config.version = "KV1.02040";
    config.zoneMillivolts = {-700, -950, -1010};
    Start(config);
    const TRun run = Kestro({"info", "--json"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const QJsonObject info = QJsonDocument::fromJson(QByteArray::fromStdString(run.Out)).object();
    ASSERT_FALSE(info.isEmpty()) << run.Out;
    EXPECT_EQ(info["name"].toString(), QString::fromUtf8("Ærø Hull"));
    EXPECT_EQ(info["serial"].toString(), "KS-000001");
    EXPECT_EQ(info["version"].toString(), "KV1.02040");
    // Typed values, in the words set takes.
    const std::pair<const char*, QJsonValue> typed[] = {
        {"logCapacity", 2040}, {"material", "bronze"}, {"zones", 2},     {"reftype", "agagcl"},
        {"interval", 60},      {"cyclic", true},       {"logCount", 17}, {"zone1", "Bow"},
    };
    for (const auto& [key, value] : typed)
        EXPECT_EQ(info[key], value) << key << ": " << run.Out;
    EXPECT_TRUE(info["logDays"].isDouble()) << run.Out;
    // The simulated clock starts at 14/08/26 05:20 and has run for a few seconds; it has no
    // offset, the PC time has one and seconds.
    EXPECT_TRUE(info["kestroTime"].toString().startsWith("2026-08-14T05:2"))
        << info["kestroTime"].toString().toStdString();
    EXPECT_EQ(info["kestroTime"].toString().size(), 19) << run.Out;
    const QDateTime pc = QDateTime::fromString(info["pcTime"].toString(), Qt::ISODate);
    ASSERT_TRUE(pc.isValid()) << run.Out;
    EXPECT_LT(std::abs(pc.secsTo(QDateTime::currentDateTime())), 60) << run.Out;
    EXPECT_EQ(pc.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc()) << run.Out;
    const QDateTime kestro = QDateTime::fromString(info["kestroTime"].toString(), Qt::ISODate);
    // The logger tells whole minutes, so the difference is whole minutes too.
    const int difference = info["clockDifferenceSeconds"].toInt(-1);
    EXPECT_EQ(difference % 60, 0) << run.Out;
    EXPECT_NEAR(difference, QDateTime(pc.date(), pc.time()).secsTo(kestro), 60.0) << run.Out;
    const QJsonArray zones = info["zoneReadings"].toArray();
    ASSERT_EQ(zones.size(), 3);
    const char* descriptions[] = {"Bow", "Midships", "Stern"};
    for (int z = 0; z < 3; ++z) {
        EXPECT_EQ(zones[z].toObject()["description"].toString(), descriptions[z]);
        // The simulated readings wander a few millivolts around the set value; a zone that is
        // not enabled has no reading at all.
        const QJsonValue mv = zones[z].toObject()["millivolts"];
        if (z < config.zones)
            EXPECT_NEAR(mv.toInt(), config.zoneMillivolts[z], 10) << "zone " << z + 1;
        else
            EXPECT_TRUE(mv.isNull()) << "zone " << z + 1;
    }
    EXPECT_NEAR(info["batteryVolts"].toDouble(), 12.5, 0.05);
    // Text output: the same values, names decoded for the terminal's UTF-8.
    const TRun text = Kestro({"info"});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(text.Out.find("Name:             Ærø Hull\n"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("Hull material:    Bronze\n"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("Log count:        17\n"), std::string::npos) << text.Out;
    ExpectOnlyQuestions();
}

// A script copies one logger's settings to another: set takes what info --json printed.
TEST_F(KestroOnSim, EverySettingInfoJsonPrintsGoesBackIntoSetUnchanged) {
    sim::Config from = simtest::TestConfig();
    from.name = "\xc6r\xf8 Hull";
    from.descriptions = {"Keel", "-Port", ""};
    from.material = 1;
    from.zones = 1;
    from.refType = 0;
    from.logInterval = 0; // off
    from.cyclic = true;
    Start(from);
    const TRun first = Kestro({"info", "--json"});
    ASSERT_EQ(first.Code, 0) << first.Err;
    const QJsonObject source =
        QJsonDocument::fromJson(QByteArray::fromStdString(first.Out)).object();
    const char* keys[] = {"name",  "zone1",   "zone2",    "zone3", "material",
                          "zones", "reftype", "interval", "cyclic"};
    std::vector<std::string> args{"set"};
    for (const char* key : keys) {
        const QJsonValue value = source[key];
        ASSERT_FALSE(value.isNull() || value.isUndefined()) << key << ": " << first.Out;
        const QString text = value.isBool()     ? QString(value.toBool() ? "true" : "false")
                             : value.isDouble() ? QString::number(value.toInt())
                                                : value.toString();
        args.push_back(std::string(key) + "=" + text.toStdString());
    }
    Start(simtest::TestConfig()); // another logger, set up otherwise
    const TRun set = Kestro(args);
    ASSERT_EQ(set.Code, 0) << set.Err;
    const TRun second = Kestro({"info", "--json"});
    ASSERT_EQ(second.Code, 0) << second.Err;
    const QJsonObject copied =
        QJsonDocument::fromJson(QByteArray::fromStdString(second.Out)).object();
    for (const char* key : keys)
        EXPECT_EQ(copied[key], source[key]) << key << ": " << second.Out;
}

TEST_F(KestroOnSim, DownloadWritesTheHeaderEntryZeroAndEveryEntryAsTheLoggerHoldsThem) {
    sim::Config config = simtest::TestConfig();
    config.logs = 60;
    // A line feed in the name once split the header and left a CSV with no rows; it is a blank.
    config.name = "Kestro\nSim";
    config.descriptions[1] = "Sch\xf6n";
    Start(config);
    const std::string path = Dir.filePath("log.txt").toStdString();
    const std::string csvPath = Dir.filePath("log.csv").toStdString();
    const TRun run = Kestro({"download", "-o", path, "--csv", csvPath});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, ""); // no terminal: no progress line
    const std::string written = ReadFile(path);
    const std::vector<std::string> lines = CrLfLines(written);
    ASSERT_EQ(lines.size(), static_cast<size_t>(HeaderLines + 1 + 60));
    EXPECT_EQ(lines[0], "*Configuration");
    EXPECT_EQ(lines[2], "*Kestro Name         = Kestro Sim      ");
    // One byte per character, as the logger sent it.
    EXPECT_EQ(lines[6], "*Zone2 Description   = Sch\xf6n           ");
    EXPECT_EQ(lines[13], "*Log Count           = 60");
    EXPECT_EQ(lines[20], " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 ");
    const std::string expected = ExpectedData();
    ASSERT_GE(written.size(), expected.size());
    EXPECT_EQ(written.substr(written.size() - expected.size()), expected);
    // The CSV: one row per entry of the logger, in order, entry 0 left out as the viewer does.
    const std::vector<std::string> rows = CrLfLines(ReadFile(csvPath));
    ASSERT_GT(rows.size(), 1u);
    // UTF-8 for the tools that read CSV, the logger's padding gone.
    EXPECT_EQ(rows[0].rfind("\"Entry\",\"Logger time\",\"UTC\",\"Zone 1 Bow Min (mV)\","
                            "\"Zone 1 Bow Max (mV)\",\"Zone 2 Sch\xc3\xb6n Min (mV)\",",
                            0),
              0u)
        << rows[0];
    const std::vector<std::string> csvRows(rows.begin() + 1, rows.end());
    const std::vector<std::string> expectedRows = Runner->Inspect([](const sim::Kestro& k) {
        std::vector<std::string> out;
        for (int n = 1; n <= k.LogCount(); ++n)
            out.push_back(CsvRow(n, *k.Log().At(n)));
        return out;
    });
    ASSERT_EQ(csvRows.size(), expectedRows.size());
    for (std::size_t i = 0; i < csvRows.size(); ++i)
        EXPECT_EQ(csvRows[i].rfind(expectedRows[i], 0), 0u) << csvRows[i];
    // Without -o the same log goes to standard output; paced by the replies, it is the same.
    const TRun piped = Kestro({"download", "--fast"});
    ASSERT_EQ(piped.Code, 0) << piped.Err;
    std::vector<std::string> again = CrLfLines(piped.Out);
    std::vector<std::string> first = lines;
    ASSERT_EQ(again.size(), first.size());
    again[PcTimeLine] = first[PcTimeLine] = "";
    EXPECT_EQ(again, first);
    ExpectOnlyQuestions();
}

TEST_F(KestroOnSim, AnEmptyLogGivesTheHeaderAndEntryZeroOnly) {
    sim::Config config = simtest::TestConfig();
    config.logs = 0;
    Start(config);
    const std::string path = Dir.filePath("empty.txt").toStdString();
    const TRun run = Kestro({"download", "-o", path});
    ASSERT_EQ(run.Code, 0) << run.Err;
    const std::string written = ReadFile(path);
    EXPECT_EQ(CrLfLines(written).size(),
              static_cast<size_t>(HeaderLines) + (ExpectedData().empty() ? 0 : 1));
    EXPECT_TRUE(written.size() >= 2 && written.substr(written.size() - 2) == "\r\n");
}

TEST_F(KestroOnSim, SetChangesEverySettingAndTheLoggerHoldsThem) {
    Start(simtest::TestConfig());
    const TRun run = Kestro({"set", "name=Hull One", "zone2=Keel", "material=aluminium", "zones=1",
                             "reftype=agagcl", "interval=120", "cyclic=on"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    Runner->Inspect([](const sim::Kestro& k) {
        EXPECT_EQ(k.Name(), "Hull One        ");
        EXPECT_EQ(k.Description(2), "Keel            ");
        EXPECT_EQ(k.Description(1).substr(0, 3), "Bow"); // untouched
        EXPECT_EQ(k.Material(), 0);
        EXPECT_EQ(k.Zones(), 1);
        EXPECT_EQ(k.RefType(), 1);
        EXPECT_EQ(k.LogInterval(), 120);
        EXPECT_TRUE(k.Cyclic());
        return 0;
    });
}

TEST_F(KestroOnSim, SetTimePutsThePcClockIntoTheLogger) {
    sim::Config config = simtest::TestConfig(); // starts at 14/08/26 05:20
    Start(config);
    const TRun run = Kestro({"set-time"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    const QDateTime now = QDateTime::currentDateTime();
    const protocol::DateTime pc{now.date().year(),
                                now.date().month(),
                                now.date().day(),
                                now.time().hour(),
                                now.time().minute(),
                                0,
                                0};
    const int64_t logger = Runner->Inspect([](const sim::Kestro& k) { return k.ClockMinutes(); });
    EXPECT_NEAR(static_cast<double>(logger), static_cast<double>(protocol::MinutesSinceEpoch(pc)),
                1.0);
    EXPECT_NE(run.Out.find("Kestro time: "), std::string::npos) << run.Out;
}

TEST_F(KestroOnSim, ClearWaitsThroughTheEraseAndPrintsTheNewLogCount) {
    sim::Config config = simtest::TestConfig();
    config.logs = 30;
    config.eraseMs = 2000;
    Start(config);
    // The archive this test's kestro uses holds none of the entries.
    const TRun run = Kestro({"clear", "--yes", "--force"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "Log count: 0\n");
    EXPECT_EQ(Runner->Inspect([](const sim::Kestro& k) { return k.LogCount(); }), 0);
    const auto sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), simtest::Wire("C")), 1);
    EXPECT_GT(Runner->Count().erasing, 0); // it asked on through the silence
    EXPECT_GE(run.Seconds, 2.0);
}

TEST_F(KestroOnSim, ClearWithoutYesSendsNothing) {
    sim::Config config = simtest::TestConfig();
    config.logs = 30;
    Start(config);
    const TRun run = Kestro({"clear"});
    EXPECT_EQ(run.Code, 2);
    EXPECT_NE(run.Err.find("--yes"), std::string::npos) << run.Err;
    EXPECT_EQ(Runner->Count().valid, 0);
    EXPECT_EQ(Runner->Inspect([](const sim::Kestro& k) { return k.LogCount(); }), 30);
}

TEST_F(KestroOnSim, WatchPrintsTheReadingsEveryCycleUntilInterrupted) {
    sim::Config config = simtest::TestConfig();
    config.zoneMillivolts = {-640, -700, -880};
    Start(config);
    // The first cycle takes five seconds, each further one five more.
    const TRun run = RunKestro({"watch", "--json", "--port", Runner->Path()}, {}, 12500);
    // Ended by Ctrl-C it says so, however many lines it printed.
    EXPECT_EQ(run.Code, 130) << run.Err;
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : QByteArray::fromStdString(run.Out).split('\n'))
        if (!line.isEmpty())
            lines.push_back(QJsonDocument::fromJson(line).object());
    ASSERT_GE(lines.size(), 2u) << run.Out;
    for (const QJsonObject& line : lines) {
        const QJsonArray mv = line["millivolts"].toArray();
        ASSERT_EQ(mv.size(), 3) << run.Out;
        for (int z = 0; z < 3; ++z)
            EXPECT_NEAR(mv[z].toInt(), config.zoneMillivolts[z], 10);
        EXPECT_NEAR(line["batteryVolts"].toDouble(), 12.5, 0.05);
        // ISO 8601 to the second, with the PC's offset: "2026-08-14T05:20:07+01:00".
        const QString pcTime = line["pcTime"].toString();
        EXPECT_EQ(pcTime.size(), 25) << pcTime.toStdString();
        EXPECT_TRUE(QDateTime::fromString(pcTime, Qt::ISODate).isValid()) << pcTime.toStdString();
    }
    // One "c" per line printed: every line is a fresh reading, not a repeat.
    const auto sent = Sent();
    EXPECT_GE(std::count(sent.begin(), sent.end(), simtest::Wire("c")),
              static_cast<long>(lines.size()));
    ExpectOnlyQuestions();
}

// Fault caught: a logger that answers one question in two seconds timed out on it every
// cycle; no cycle was ever read whole, and info and watch gave up with status 5.
TEST_F(KestroOnSim, OneQuestionAlwaysAnsweredSlowlyIsWaitedFor) {
    sim::Config config = simtest::TestConfig();
    config.serial = "SN-SLOW-2000";
    config.faults.slowOn = "i05";
    config.faults.slowByMs = 2000;
    Start(config);
    const TRun info = Kestro({"info", "--json"});
    ASSERT_EQ(info.Code, 0) << info.Err;
    const QJsonObject values =
        QJsonDocument::fromJson(QByteArray::fromStdString(info.Out)).object();
    EXPECT_EQ(values["serial"].toString().trimmed().toStdString(), config.serial) << info.Out;
    EXPECT_EQ(values["name"].toString().trimmed().toStdString(), config.name) << info.Out;
    const TRun watch = RunKestro({"watch", "--json", "--port", Runner->Path()}, {}, 12000);
    EXPECT_EQ(watch.Code, 130) << watch.Err;
    EXPECT_GE(std::count(watch.Out.begin(), watch.Out.end(), '\n'), 1) << watch.Err;
    ExpectOnlyQuestions();
}

TEST_F(KestroOnSim, ThePortMayBeNamedByItsComNumber) {
    Start(simtest::TestConfig());
    const TRun run = RunKestro({"info", "--port", "COM4"}, {{"QUORVA_COM4", Runner->Path()}});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("Serial number:    KS-000001\n"), std::string::npos) << run.Out;
}

TEST_F(KestroOnSim, PortsListsEveryComNumberOfTheSelectorWithWhatIsBehindIt) {
    // A made-up list: every COMn is named, so no device of this PC is looked at.
    const sim::Line line = sim::Line::OpenPty();
    const TRun run = RunKestro({"ports"}, {{"QUORVA_COM2", line.Path()}, {"QUORVA_COM3", ""}});
    ASSERT_EQ(run.Code, 0) << run.Err;
    const QStringList lines = QString::fromStdString(run.Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8) << run.Out; // as many as the window's port selector offers
    EXPECT_EQ(lines[0].toStdString(), std::string("COM1   ") + MissingPort + " (QUORVA_COM1)");
    EXPECT_EQ(lines[1].toStdString(), "COM2   " + line.Path() + " (QUORVA_COM2)");
    EXPECT_EQ(lines[2].toStdString(), "COM3   No serial port");
    EXPECT_TRUE(lines[7].startsWith("COM8   ")) << run.Out;
    // The same list for a script: the path, or null where a COM number has no device.
    const TRun json =
        RunKestro({"ports", "--json"}, {{"QUORVA_COM2", line.Path()}, {"QUORVA_COM3", ""}});
    ASSERT_EQ(json.Code, 0) << json.Err;
    const QJsonArray ports = QJsonDocument::fromJson(QByteArray::fromStdString(json.Out)).array();
    ASSERT_EQ(ports.size(), 8) << json.Out;
    EXPECT_EQ(ports[1].toObject()["name"].toString(), "COM2");
    EXPECT_EQ(ports[1].toObject()["path"].toString().toStdString(), line.Path());
    EXPECT_TRUE(ports[2].toObject()["path"].isNull()) << json.Out;
}

TEST_F(KestroOnSim, APortThatDoesNotExistEndsAtOnceWithStatusThree) {
    const TRun run = RunKestro({"info", "--port", MissingPort});
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find(std::string("There is no device ") + MissingPort), std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Out, "");
    // COM1 is the default port; here it leads to the missing path as well.
    EXPECT_EQ(RunKestro({"info"}).Code, 3);
}

TEST_F(KestroOnSim, ALineWhereNothingAnswersEndsWithStatusThreeWithinSeconds) {
    sim::Line silent = sim::Line::OpenPty();
    const TRun run = RunKestro(
        {"download", "-o", Dir.filePath("none.txt").toStdString(), "--port", silent.Path()});
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find("no Kestro answered"), std::string::npos) << run.Err;
    // About three seconds; the bound leaves room for a loaded machine.
    EXPECT_LT(run.Seconds, 8.0);
    EXPECT_FALSE(QFile::exists(Dir.filePath("none.txt")));
}

TEST_F(KestroOnSim, AFileThatCannotBeWrittenEndsWithStatusFourBeforeAnyLogRequest) {
    sim::Config config = simtest::TestConfig();
    config.logs = 10;
    Start(config);
    const TRun run = Kestro({"download", "-o", Dir.filePath("no/such/dir.txt").toStdString()});
    EXPECT_EQ(run.Code, 4);
    EXPECT_NE(run.Err.find("File not found"), std::string::npos) << run.Err;
    const std::string log = Dir.filePath("log.txt").toStdString();
    const TRun csv =
        Kestro({"download", "-o", log, "--csv", Dir.filePath("no/dir.csv").toStdString()});
    EXPECT_EQ(csv.Code, 4);
    EXPECT_NE(csv.Err.find("no/dir.csv"), std::string::npos) << csv.Err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(log)));
    const auto sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), simtest::Wire(protocol::LogRequestCommand(1))),
              0);
}

TEST_F(KestroOnSim, ALoggerFallingSilentMidDownloadEndsWithStatusFiveAndACompleteFile) {
    sim::Config config = simtest::TestConfig();
    config.logs = 300;
    // Enough for the poll cycle, then some entries, then silence.
    config.faults.silentAfter = 80;
    Start(config);
    const std::string path = Dir.filePath("cut.txt").toStdString();
    const std::string csvPath = Dir.filePath("cut.csv").toStdString();
    // Yesterday's complete download stays as it was.
    WriteText(path, "yesterday's log\r\n");
    WriteText(csvPath, "yesterday's CSV\r\n");
    const TRun run = Kestro({"download", "-o", path, "--csv", csvPath});
    EXPECT_EQ(run.Code, 5) << run.Err;
    EXPECT_NE(run.Err.find("stopped answering"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(path), "yesterday's log\r\n");
    EXPECT_EQ(ReadFile(csvPath), "yesterday's CSV\r\n");
    // What came is kept beside them, the message saying how much and where.
    const std::vector<std::string> lines = CrLfLines(ReadFile(path + ".part"));
    const std::vector<std::string> expected = CrLfLines(ExpectedData());
    ASSERT_GT(lines.size(), static_cast<size_t>(HeaderLines + 2));
    const size_t entries = lines.size() - HeaderLines;
    EXPECT_LT(entries, expected.size());
    EXPECT_NE(run.Err.find("incomplete: " + std::to_string(entries - 1) +
                           " of 300 entries are in " + path + ".part and " + csvPath + ".part"),
              std::string::npos)
        << run.Err;
    // Every line whole and in its place: the entries up to the silence, nothing more.
    for (size_t i = 0; i < entries; ++i)
        EXPECT_EQ(lines[HeaderLines + i], expected[i]) << "entry " << i;
    EXPECT_EQ(CrLfLines(ReadFile(csvPath + ".part")).size(), entries); // the heading, no entry 0
}

} // namespace
} // namespace clitest
