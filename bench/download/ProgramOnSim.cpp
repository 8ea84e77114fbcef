#include "ProgramOnSim.h"

#include "app/Logger.h"
#include "app/Shell.h"
#include "app/YesNo.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

namespace bench {

std::string VersionForCapacity(int Capacity) {
    if (Capacity == 2040)
        return "KV1.02040";
    if (Capacity == 4090)
        return "KV1.04090";
    return "KV1.0 511";
}

int CapacityFor(int Entries) {
    if (Entries <= 511)
        return 511;
    return Entries <= 2040 ? 2040 : 4090;
}

TProgramOnSim::TProgramOnSim(const std::string& SimProgram, const TLoggerSetup& Setup,
                             const std::string& WorkDir)
    : FDumpPath(WorkDir + "/logger-dump.txt") {
    std::filesystem::remove(FDumpPath);
    FSim.Start(SimProgram,
               {"--firmware", Setup.Version, "--logs", std::to_string(Setup.Logs), "--dump-log",
                FDumpPath, "--reply-delay", std::to_string(Setup.ReplyDelayMs)});
    // Only COM1 leads to the simulator; every other port name leads nowhere.
    for (int N = 2; N <= 10; ++N)
        setenv(("QUORVA_COM" + std::to_string(N)).c_str(), "/nonexistent/quorva-bench-port", 1);
    setenv("QUORVA_COM1", FSim.Path().c_str(), 1);
    app::SetErrorBoxHook(
        [this](const QString& M) { FBoxes.push_back("error: " + M.toStdString()); });
    app::SetMessageBoxHook(
        [this](const QString& M) { FBoxes.push_back("message: " + M.toStdString()); });
    FForm = std::make_unique<app::TForm1>();
    // A dialog would block the measurement: nobody confirms, the file name is set per run.
    FForm->ConfirmHook = [] { return app::mrNo; };
    FForm->SaveNameHook = [] { return std::optional<std::string>(); };
    FForm->show();
}

TProgramOnSim::~TProgramOnSim() {
    // The window goes before its logger, so it never sees the line hang up.
    FForm.reset();
    FSim.Stop();
    app::SetErrorBoxHook({});
    app::SetMessageBoxHook({});
}

bool TProgramOnSim::WaitFor(const std::function<bool()>& Done, int Milliseconds, int CheckEveryMs) {
    if (Done())
        return true;
    QEventLoop Loop;
    QTimer Check;
    Check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&Check, &QTimer::timeout, [&] {
        if (Done())
            Loop.quit();
    });
    Check.start(CheckEveryMs);
    QTimer::singleShot(Milliseconds, Qt::PreciseTimer, &Loop, &QEventLoop::quit);
    Loop.exec();
    return Done();
}

void TProgramOnSim::RunFor(int Milliseconds) {
    QEventLoop Loop;
    QTimer::singleShot(Milliseconds, Qt::PreciseTimer, &Loop, &QEventLoop::quit);
    Loop.exec();
}

bool TProgramOnSim::Ready() const {
    return FForm->Status->text() == "  Kestro Ready";
}

bool TProgramOnSim::WaitForReady(int Capacity, int Milliseconds) {
    return WaitFor(
        [&] {
            return Ready() && FForm->Link->Values().LogCapacity == Capacity &&
                   std::filesystem::exists(FDumpPath);
        },
        Milliseconds);
}

} // namespace bench
