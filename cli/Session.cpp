#include "cli/Session.h"

#include "cli/ExitCodes.h"

#include "cport/ComError.h"
#include "cport/ComSync.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <csignal>
#include <cstdio>

namespace cli {

namespace {

volatile std::sig_atomic_t GotSignal = 0;

// A signal handler may post nothing to the loop: the 250 ms tick looks at the flag instead.
void OnSignal(int) {
    GotSignal = 1;
}

// Long enough for a logger that answers the first poll to be heard twice over.
constexpr int AnswerWaitMs = 2500;
// A poll cycle is ten steps, one every 500 ms; the rest is room for a loaded PC and for
// finding the logger again once.
constexpr int CycleWaitMs = 20000;
// Searching this long after the watchdog gave the logger up, it is gone.
constexpr qint64 LostAfterMs = 3000;

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

TSession::TSession(const std::string& port, bool quiet) : Host(port), Link(Host), Quiet(quiet) {
    UseQtLoopForHandOvers();
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
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
    std::fprintf(stderr, "kestro: %s\n", ForTerminal(text).c_str());
}

bool TSession::Interrupted() {
    return GotSignal != 0;
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
    if (Waiting && WaitDone && ((*WaitDone)() || Interrupted()))
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
    if (Interrupted())
        return false;
    QEventLoop loop;
    QTimer limit;
    if (timeoutMs >= 0) {
        limit.setSingleShot(true);
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

int TSession::Connect() {
    Link.SetDateFormats(protocol::DateFormats{'/', "dd/mm/yy", ':', "hh:mm"});
    // A script is waiting: the poll cycle's questions go out one after the other.
    Link.SetPollPacing(klink::TRequestPacing::OnReply);
    if (!Link.FormCreate(Host.Port())) {
        Complain("cannot open " + Host.Port());
        return ExitNoLogger;
    }
    Clock.start();
    Timer1.start();
    if (!RunUntil([this] { return Answered; }, AnswerWaitMs)) {
        if (!Interrupted())
            Complain("no Kestro answered on " + Host.Port());
        return ExitNoLogger;
    }
    const bool read = RunUntil([this] { return LinkLost() || Host.CyclesRead > 0; }, CycleWaitMs);
    return CycleOutcome(read);
}

int TSession::CycleOutcome(bool read) {
    if (!read || LinkLost()) {
        if (!Interrupted())
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
