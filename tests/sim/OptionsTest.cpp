// The kestro-sim command line, and the program itself run as a user would.

#include "sim/Options.h"
#include "SimTestSupport.h"
#include "protocol/Decode.h"
#include "sim/Kestro.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::optional<sim::Options> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = sim::ParseOptions(args, e);
    if (error)
        *error = e;
    return o;
}

TEST(SimOptions, SetTheLoggersState) {
    const auto o = Parse({"--name",
                          "Sea Breeze",
                          "--serial=S-42",
                          "--firmware",
                          "KV2.04",
                          "--zone2",
                          "Keel",
                          "--material",
                          "Bronze",
                          "--zones",
                          "2",
                          "--interval",
                          "off",
                          "--cyclic",
                          "on",
                          "--reftype",
                          "agagcl",
                          "--clock",
                          "14/08/26 05:20",
                          "--logs",
                          "100",
                          "--seed",
                          "9",
                          "--erase-ms",
                          "50",
                          "--last-char",
                          "0",
                          "--zone-mv",
                          "-100,5,16384"});
    ASSERT_TRUE(o);
    const sim::Config& c = o->config;
    EXPECT_EQ(c.name, "Sea Breeze");
    EXPECT_EQ(c.serial, "S-42");
    EXPECT_EQ(c.version, "KV2.04");
    EXPECT_EQ(c.descriptions[1], "Keel");
    EXPECT_EQ(c.material, 2);
    EXPECT_EQ(c.zones, 2);
    EXPECT_EQ(c.logInterval, 0);
    EXPECT_TRUE(c.cyclic);
    EXPECT_EQ(c.refType, 1);
    EXPECT_EQ(c.clockMinutes, 14000000);
    EXPECT_EQ(c.logs, 100);
    EXPECT_EQ(c.seed, 9u);
    EXPECT_EQ(c.eraseMs, 50);
    EXPECT_EQ(c.lastChar, '0');
    EXPECT_EQ(c.zoneMillivolts, (std::array<int, 3>{-100, 5, 16384}));
}

// --version is the program's own; the logger's software version has a name of its own.
TEST(SimOptions, VersionAsksForTheProgramsOwnAndTakesNoValue) {
    const auto o = Parse({"--version", "--firmware", "KV1.4 4090"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->version);
    EXPECT_EQ(o->config.version, "KV1.4 4090");
    EXPECT_TRUE(Parse({"-V"})->version);
    EXPECT_FALSE(Parse({"--firmware", "KV1.4 4090"})->version);
}

TEST(SimOptions, PreloadedRecordsPickTheFirmwareThatHoldsThemOrSayWhyNot) {
    struct Case {
        std::vector<std::string> Args;
        int Capacity; // 0: refused
        const char* Why;
    };
    const Case cases[] = {
        {{"--logs", "511"}, 511, ""},
        {{"--logs", "512"}, 2040, ""}, // one more than the default firmware holds
        {{"--logs", "4090"}, 4090, ""},
        {{"--logs", "4091"}, 0, "4090"},
        {{"--firmware", "KV1.02040", "--logs", "2041"}, 0, "holds 2040"},
        {{"--logs", "3000", "--firmware", "KV1.04090"}, 4090, ""},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto o = Parse(c.Args, &error);
        const std::string args = c.Args[0] + " " + c.Args[1];
        if (c.Capacity == 0) {
            EXPECT_FALSE(o) << args;
            EXPECT_NE(error.find(c.Why), std::string::npos) << args << ": " << error;
            continue;
        }
        ASSERT_TRUE(o) << args << ": " << error;
        EXPECT_EQ(sim::Kestro::CapacityForVersion(o->config.version), c.Capacity) << args;
        // Every record asked for is in the memory.
        sim::Config config = o->config;
        config.clockMinutes = 14000000;
        EXPECT_EQ(sim::Kestro(config).LogCount(), config.logs) << args;
    }
}

TEST(SimOptions, SetTheFaultsAndRecords) {
    const auto o =
        Parse({"--late-ms",     "300",   "--drop-every",   "4",     "--garble-every", "5",
               "--split-every", "2",     "--split-at",     "34",    "--split-gap-ms", "10",
               "--noise-every", "3",     "--silent-after", "7",     "--hangup-after", "9",
               "--transcript",  "t.txt", "--dump-log",     "d.txt", "--link",         "/tmp/k"});
    ASSERT_TRUE(o);
    const sim::Faults& f = o->config.faults;
    EXPECT_EQ(f.replyDelayMs, 300);
    EXPECT_EQ(f.dropEvery, 4);
    EXPECT_EQ(f.garbleEvery, 5);
    EXPECT_EQ(f.splitEvery, 2);
    EXPECT_EQ(f.splitAt, 34);
    EXPECT_EQ(f.splitGapMs, 10);
    EXPECT_EQ(f.noiseEvery, 3);
    EXPECT_EQ(f.silentAfter, 7);
    EXPECT_EQ(f.hangupAfter, 9);
    EXPECT_EQ(o->transcript, "t.txt");
    EXPECT_EQ(o->dumpLog, "d.txt");
    EXPECT_EQ(o->link, "/tmp/k");
    EXPECT_EQ(Parse({"--reply-delay", "20"})->config.faults.replyDelayMs, 20);
    EXPECT_EQ(Parse({"--log-during-download", "200"})->config.faults.logDuringDownloadAt, 200);
    const auto slow = Parse(
        {"--slow-on", "i05", "--slow-by", "2300", "--restart-at", "60", "--restart-logs", "30"});
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->config.faults.slowOn, "i05");
    EXPECT_EQ(slow->config.faults.slowByMs, 2300);
    EXPECT_EQ(slow->config.faults.restartAt, 60);
    EXPECT_EQ(slow->config.faults.restartLogs, 30);
}

TEST(SimOptions, LateReplyJitterAndLateClearAnswer) {
    const auto o = Parse({"--late-at", "12", "--late-by", "450", "--jitter", "20,350",
                          "--clear-reply-late", "on", "--late-on", "l0007"});
    ASSERT_TRUE(o);
    const sim::Faults& f = o->config.faults;
    EXPECT_EQ(f.lateAt, 12);
    EXPECT_EQ(f.lateByMs, 450);
    EXPECT_EQ(f.lateOn, "l0007");
    EXPECT_EQ(f.jitterMinMs, 20);
    EXPECT_EQ(f.jitterMaxMs, 350);
    EXPECT_TRUE(f.clearReplyAfterErase);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--jitter", "350,20"},
                                                {"--jitter", "a,b"},
                                                {"--clear-reply-late", "maybe"},
                                                {"--late-by", "-5"}}) {
        EXPECT_FALSE(Parse(bad)) << bad[0] << " " << bad[1];
    }
}

TEST(SimOptions, RejectBadValues) {
    const std::vector<std::vector<std::string>> bad = {{"--name", "seventeen chars!!"},
                                                       {"--zones", "4"},
                                                       {"--material", "iron"},
                                                       {"--interval", "-1"},
                                                       {"--cyclic", "maybe"},
                                                       {"--clock", "31/02/26"},
                                                       {"--logs", "x"},
                                                       {"--last-char", ">>"},
                                                       {"--split-at", "35"},
                                                       {"--zone-mv", "1,2"},
                                                       {"--zone-mv", "0,0,20000"},
                                                       {"--bogus", "1"},
                                                       {"--logs"},
                                                       {"--device", "/dev/x", "--link", "/tmp/y"}};
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// kestro-sim as run by hand: prints its path, links it, records and dumps, ends on SIGTERM.
TEST(SimProgram, ServesLinksRecordsAndCleansUp) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kestro-sim-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string link = (dir / "com1").string();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        const std::string t = (dir / "transcript.txt").string(), d = (dir / "dump.txt").string();
        execl(KESTRO_SIM_PATH, "kestro-sim", "--link", link.c_str(), "--logs", "3", "--clock",
              "14000000", "--transcript", t.c_str(), "--dump-log", d.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string printed;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        printed += c;
    close(out[0]);
    ASSERT_EQ(printed.rfind("/dev/pts/", 0), 0u) << printed;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), printed);

    {
        simtest::SlaveEnd slave(link);
        slave.Send(simtest::Wire("l0000"));
        EXPECT_EQ(protocol::DecodeLogCount(simtest::Delivered(slave.Read(35)))->Count, 3);
    }
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_NE(ReadFile(dir / "transcript.txt").find("RX <l0000>>E4"), std::string::npos);
    const std::string dump = ReadFile(dir / "dump.txt");
    EXPECT_EQ(dump.substr(dump.rfind("3 "), 17), "3 14/08/26 05:20 ");
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 3);
    std::filesystem::remove_all(dir);
}

} // namespace
