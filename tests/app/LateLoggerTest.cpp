// The program against slow, late, jittery and chunky loggers: every download byte for byte,
// and the logger's settings as they were. One case per test, so ctest runs them side by side.
#include "SimFixture.h"

#include "app/YesNo.h"
#include "cport/CPort.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace apptest {
namespace {

struct TLoggerCase {
    std::string Name;
    int Logs = 6;
    int DelayMs = 0;
    int JitterMin = 0, JitterMax = 0;
    std::string LateOn; // the download's request whose answer comes late
    int LateByMs = 0;
    int GapBeforeLastMs = -1;
    bool Clear = false; // erase the log, answered only after the erase
};

void PrintTo(const TLoggerCase& C, std::ostream* Os) {
    *Os << C.Name;
}

// What the logger holds that the program could overwrite.
struct TLoggerState {
    std::string Name, Serial, Zone1, Zone2, Zone3;
    int Material, Zones, Interval, RefType;
    bool Cyclic;
    bool operator==(const TLoggerState&) const = default;
};

class LateLoggerTest : public SimAppTest, public ::testing::WithParamInterface<TLoggerCase> {
protected:
    void Start(const TLoggerCase& C) {
        sim::Config Config;
        Config.logs = C.Logs;
        Config.logInterval = 0; // no entry falls due while the test runs
        Config.cyclic = true;
        Config.eraseMs = 2500;
        Config.faults.replyDelayMs = C.DelayMs;
        Config.faults.jitterMinMs = C.JitterMin;
        Config.faults.jitterMaxMs = C.JitterMax;
        Config.faults.clearReplyAfterErase = C.Clear;
        if (C.GapBeforeLastMs >= 0) {
            Config.faults.splitEvery = 1;
            Config.faults.splitAt = 34;
            Config.faults.splitGapMs = C.GapBeforeLastMs;
        }
        StartLogger(Config);
        Before = State();
        ShowWindow([this](app::TForm1& F) {
            F.SaveNameHook = [this] { return std::optional<std::string>(FileName()); };
        });
    }
    TLoggerState State() const {
        return Runner->Inspect([](const sim::Kestro& K) {
            return TLoggerState{K.Name(),         K.SerialNumber(), K.Description(1),
                                K.Description(2), K.Description(3), K.Material(),
                                K.Zones(),        K.LogInterval(),  K.RefType(),
                                K.Cyclic()};
        });
    }
    std::string FileName() const { return Dir.filePath("logs.txt").toStdString(); }
    std::string Written() const { return ReadFile(QString::fromStdString(FileName())); }
    // The file as the logger's own records say it must be; the PC time line is the program's.
    void ExpectFileMatchesTheLogger() {
        const std::string File = Written();
        const size_t Data = File.find(" *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n");
        ASSERT_NE(Data, std::string::npos) << File;
        std::string Entry0 =
            Runner->Inspect([](const sim::Kestro& K) { return K.CountEntryLine(); });
        if (!Entry0.empty() && Entry0.back() != '\n')
            Entry0 += "\r\n";
        EXPECT_EQ(File.substr(Data + 50), Entry0 + Runner->LogDump());
        const std::string Name = "*Kestro Name         = " + Before.Name + "\r\n";
        const std::string Serial = "*Serial Number       = " + Before.Serial + "\r\n";
        const std::string Zone1 = "*Zone1 Description   = " + Before.Zone1 + "\r\n";
        EXPECT_NE(File.find(Name), std::string::npos) << File;
        EXPECT_NE(File.find(Serial), std::string::npos) << File;
        EXPECT_NE(File.find(Zone1), std::string::npos) << File;
    }
    // Waits until a poll has just read the log count, so the next one is five seconds off.
    void WaitForLogCountPolled() {
        ASSERT_TRUE(WaitFor([&] { return Form->Link->Values().PollStep == 5; }, 30000));
    }

    QTemporaryDir Dir;
    TLoggerState Before;
};

TEST_P(LateLoggerTest, DownloadIsByteForByteAndNoSettingChanges) {
    const TLoggerCase& C = GetParam();
    Start(C);
    ASSERT_TRUE(WaitForReady(45000));
    if (C.Clear) {
        Form->ConfirmHook = [] { return app::mrYes; };
        Form->Link->ClearKestroClick();
        EXPECT_TRUE(WaitFor(
            [&] { return Runner->Inspect([](const sim::Kestro& K) { return K.LogCount() == 0; }); },
            5000));
        EXPECT_TRUE(
            WaitFor([&] { return Form->Status->text() == "  Clearing Kestro Logs"; }, 2000));
    }
    if (!C.LateOn.empty()) {
        WaitForLogCountPolled();
        Runner->Modify([&](sim::Kestro& K) {
            K.SetLateReply(C.LateOn, C.LateByMs);
            return 0;
        });
    }
    if (!C.Clear) {
        QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return Form->Link->Downloading(); }, 2000));
        ASSERT_TRUE(WaitFor([&] { return !Form->Link->Downloading(); }, 60000));
        EXPECT_TRUE(Messages.isEmpty()) << Messages.join('\n').toStdString();
        ExpectFileMatchesTheLogger();
    }
    // A few more poll cycles at this logger's pace, then nothing may have been overwritten.
    Pump(C.Clear ? 14000 : 6000);
    EXPECT_EQ(Form->Status->text(), "  Kestro Ready");
    EXPECT_TRUE(State() == Before) << "the logger's settings were overwritten";
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

std::vector<TLoggerCase> Cases() {
    std::vector<TLoggerCase> All;
    for (int Delay : {0, 40, 120, 190, 210, 300, 450, 800}) {
        TLoggerCase C;
        C.Name = "Delay" + std::to_string(Delay);
        C.DelayMs = Delay;
        C.Logs = Delay >= 300 ? 4 : 12;
        All.push_back(C);
    }
    TLoggerCase Jitter;
    Jitter.Name = "Jitter20To350";
    Jitter.JitterMin = 20;
    Jitter.JitterMax = 350;
    Jitter.Logs = 10;
    All.push_back(Jitter);
    for (int Late : {270, 450}) {
        for (int Entry : {0, 1, 7, 8}) {
            TLoggerCase C;
            C.Name = "Late" + std::to_string(Late) + "AtEntry" + std::to_string(Entry);
            C.DelayMs = 15;
            C.Logs = 8; // entry 8 is the last
            char Body[8];
            std::snprintf(Body, sizeof Body, "l%04X", Entry);
            C.LateOn = Body;
            C.LateByMs = Late;
            All.push_back(C);
        }
    }
    for (int Gap : {5, 10, 16, 20}) {
        TLoggerCase C;
        C.Name = "GapOf" + std::to_string(Gap) + "BeforeTheLastCharacter";
        C.GapBeforeLastMs = Gap;
        C.Logs = 10;
        All.push_back(C);
    }
    TLoggerCase Clear;
    Clear.Name = "ClearAnsweredAfterTheErase";
    Clear.Clear = true;
    Clear.DelayMs = 40;
    All.push_back(Clear);
    return All;
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, LateLoggerTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TLoggerCase>& Info) {
                             return Info.param.Name;
                         });

} // namespace
} // namespace apptest
