#include "cli/Session.h"

#include "cli/ExitCodes.h"
#include "cli/PortHolder.h"
#include "cli/Report.h"

#include "cport/ComError.h"
#include "cport/ComSync.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace cli {

namespace {

// The first signal that asked the command to end; later ones change nothing.
volatile std::sig_atomic_t GotSignal = 0;

// A signal handler may post nothing to the loop: the guard's tick looks at the flag instead.
void OnSignal(int signal) {
    if (GotSignal == 0)
        GotSignal = signal;
}

void CatchEndingSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

const char* SignalWord(int signal) {
    switch (signal) {
    case SIGHUP:
        return "hung up";
    case SIGTERM:
        return "terminated";
    default:
        return "interrupted";
    }
}

// A pipe whose reader has gone reports an error, a terminal that hung up a hang-up; a file
// reports neither.
bool StandardOutputClosed() {
    pollfd out{STDOUT_FILENO, 0, 0};
    return poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

// Long enough for a logger that answers the first poll to be heard twice over.
constexpr int AnswerWaitMs = 2500;
// A poll cycle is ten steps, one every 500 ms; the rest is room for a loaded PC and for
// finding the logger again once.
constexpr int CycleWaitMs = 20000;
// Searching this long after the watchdog gave the logger up, it is gone.
constexpr qint64 LostAfterMs = 3000;
// A busy port is tried again this often while the wait lasts.
constexpr int BusyRetryMs = 500;

// The serial layer hands received bytes to this thread through the Qt loop.
void UseQtLoopForHandOvers() {
    cport::SetMainThread();
    cport::SetEventLoopHook([](std::function<void()> call) {
        if (QCoreApplication* instance = QCoreApplication::instance())
            QMetaObject::invokeMethod(instance, std::move(call), Qt::QueuedConnection);
    });
    cport::SetApplicationExceptionHandler([](const std::exception& e) {
        std::fprintf(stderr, "kestro: %s\n", ForTerminal(e.what()).c_str());
    });
}

} // namespace

std::string ForTerminal(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()))
        .toLocal8Bit()
        .toStdString();
}

TSession::TSession(const std::string& port, bool quiet, int waitSeconds)
    : Host(port), Link(Host), Quiet(quiet), WaitMs(waitSeconds * 1000) {
    UseQtLoopForHandOvers();
    CatchEndingSignals();
    Host.OnPacket = [this](const std::string& str) {
        try {
            Link.ComDataPacket1Packet(str);
        } catch (const std::exception& e) {
            Complain(e.what());
        }
        Answered = Answered || Link.Values().LinkAlive;
        Wake();
    };
    Host.OnReplyTimeout = [this] {
        Link.ReplyTimeout();
        Wake();
    };
    Host.OnLineActivity = [this] { Link.LineActivity(); };
    Host.OnChange = [this] { Wake(); };
    Host.OnError = [this](const std::string& message) { Complain(message); };
    Host.OnMessage = [this](const std::string& message) { Complain(message); };
    // Precise: the download asks for one entry per 80 ms tick, and a coarse timer may
    // stretch every tick by a few milliseconds.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(250);
    Timer2.setInterval(80);
    QObject::connect(&Timer1, &QTimer::timeout, [this] { Tick250(); });
    GuardTimer.setInterval(250);
    QObject::connect(&GuardTimer, &QTimer::timeout, [this] { Guard(); });
    GuardTimer.start();
    QObject::connect(&Timer2, &QTimer::timeout, [this] {
        Link.Timer2Timer();
        Wake();
    });
}

TSession::~TSession() {
    Timer1.stop();
    Timer2.stop();
    // A download still running finishes its file here.
    Link.FormClose();
    Host.Detach();
}

void TSession::Complain(const std::string& text) const {
    ComplainLocal(ForTerminal(text));
}

void TSession::ComplainLocal(const std::string& text) const {
    std::fprintf(stderr, "kestro: %s\n", text.c_str());
}

bool TSession::Interrupted() {
    return GotSignal != 0;
}

bool TSession::Stopping() const {
    return Interrupted() || OutputGone;
}

std::string TSession::StopReason() const {
    if (const int signal = GotSignal)
        return SignalWord(signal);
    return OutputGone ? OutputWhy : std::string();
}

int TSession::StopCode() const {
    if (const int signal = GotSignal)
        return ExitForSignal(signal);
    return OutputGone ? ExitFile : ExitDone;
}

int TSession::Stopped() const {
    if (Stopping())
        Complain(StopReason());
    return StopCode();
}

bool TSession::Print(const std::string& text) {
    if (Quiet)
        return true;
    if (OutputGone)
        return false;
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
        return true;
    LoseOutput();
    return false;
}

void TSession::LoseOutput() {
    if (OutputGone)
        return;
    OutputGone = true;
    // A reader that has gone is the same whether the tick or a write noticed it first.
    OutputWhy = errno == EPIPE
                    ? std::string("standard output is closed")
                    : std::string("cannot write to standard output: ") + std::strerror(errno);
    Wake();
}

void TSession::Guard() {
    if (OutputWatched && !OutputGone && StandardOutputClosed()) {
        OutputGone = true;
        OutputWhy = "standard output is closed";
    }
    Wake();
}

void TSession::Tick250() {
    Link.Tick250();
    // Searching starts the cycle over: what was read before may be gone.
    if (Link.Values().LinkState == klink::StateSearching) {
        if (Answered && SearchingSinceMs < 0)
            SearchingSinceMs = Clock.elapsed();
    } else {
        SearchingSinceMs = -1;
    }
    Wake();
}

void TSession::Wake() {
    if (Waiting && WaitDone && ((*WaitDone)() || Stopping()))
        Waiting->quit();
}

bool TSession::LinkQuiet() const {
    return !Link.Awaiting() && !Link.Settling();
}

bool TSession::LinkLost() const {
    return !Link.LineUsable() ||
           (SearchingSinceMs >= 0 && Clock.elapsed() - SearchingSinceMs >= LostAfterMs);
}

bool TSession::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    if (Stopping())
        return false;
    QEventLoop loop;
    QTimer limit;
    if (timeoutMs >= 0) {
        limit.setSingleShot(true);
        // A coarse timer may end a wait of --wait SECONDS a twentieth early.
        limit.setTimerType(Qt::PreciseTimer);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(timeoutMs);
    }
    QEventLoop* const outerLoop = Waiting;
    const std::function<bool()>* const outerDone = WaitDone;
    Waiting = &loop;
    WaitDone = &done;
    loop.exec();
    Waiting = outerLoop;
    WaitDone = outerDone;
    return done();
}

int TSession::OpenPort() {
    for (;;) {
        // An attempt that is tried again keeps its messages to itself.
        const std::size_t errorsBefore = Host.Errors.size();
        auto onError = std::move(Host.OnError);
        Host.OnError = nullptr;
        const bool opened = Link.FormCreate(Host.Port());
        Host.OnError = std::move(onError);
        if (opened)
            return ExitDone;
        const bool busy = HeldByAnotherProgram(Host.Port());
        if (busy && !Stopping() && Clock.elapsed() + BusyRetryMs <= WaitMs) {
            RunUntil([] { return false; }, BusyRetryMs);
            if (!Stopping())
                continue;
        }
        if (Stopping())
            return Stopped();
        ReportOpenFailure(busy, errorsBefore);
        if (!busy)
            return ExitNoLogger;
        Complain(Host.Port() + " is busy" +
                 (WaitMs > 0 ? ", still after " + std::to_string(WaitMs / 1000) + " s" : "") +
                 "; --wait SECONDS keeps trying");
        return ExitBusy;
    }
}

void TSession::ReportOpenFailure(bool busy, std::size_t errorsBefore) const {
    const kline::TOpenResult& failure = Host.LastOpen();
    if (!failure.DeviceRefused()) {
        // A setting refused by a device that did open has only the serial layer's word.
        for (std::size_t e = errorsBefore; e < Host.Errors.size(); ++e)
            Complain(Host.Errors[e]);
        ComplainLocal("cannot open " + Host.Port());
        return;
    }
    ComplainLocal(OpenFailureText(Host.Port(), failure));
    // The serial layer names the first program that has the device open, which for a
    // pseudo-terminal may be the one holding its other end; the lock's holder is the one.
    std::string advice = busy ? BusyAdvice(Host.Port()) : std::string();
    if (advice.empty())
        advice = OpenFailureAdvice(Host.Port(), failure);
    if (!advice.empty())
        ComplainLocal(advice);
}

int TSession::Connect() {
    Link.SetDateFormats(protocol::DateFormats{'/', "dd/mm/yy", ':', "hh:mm"});
    // A script is waiting: the poll cycle's questions go out one after the other.
    Link.SetPollPacing(klink::TRequestPacing::OnReply);
    Clock.start();
    if (const int code = OpenPort())
        return code;
    Timer1.start();
    const int answerWaitMs =
        std::max<int>(AnswerWaitMs, WaitMs - static_cast<int>(Clock.elapsed()));
    if (!RunUntil([this] { return Answered; }, answerWaitMs)) {
        if (Stopping())
            return Stopped();
        Complain("no Kestro answered on " + Host.Port() +
                 (WaitMs > 0 ? " within " + std::to_string(WaitMs / 1000) + " s" : ""));
        return ExitNoLogger;
    }
    const bool read = RunUntil([this] { return LinkLost() || Host.CyclesRead > 0; }, CycleWaitMs);
    return CycleOutcome(read);
}

int TSession::CycleOutcome(bool read) {
    if (Stopping())
        return Stopped();
    if (!read || LinkLost()) {
        Complain("the Kestro stopped answering on " + Host.Port());
        return ExitStopped;
    }
    return ExitDone;
}

int TSession::ReadBack() {
    // The new cycle's questions queue behind the changes just sent, so every value it reads
    // was read after they were answered.
    Link.RestartPollCycle();
    const int before = Host.CyclesRead;
    const bool read =
        RunUntil([this, before] { return LinkLost() || Host.CyclesRead > before; }, CycleWaitMs);
    return CycleOutcome(read);
}

} // namespace cli
