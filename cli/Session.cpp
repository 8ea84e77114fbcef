#include "cli/Session.h"

#include "cli/ExitCodes.h"

#include <QEventLoop>
#include <QString>
#include <csignal>
#include <cstdio>

namespace cli {

namespace {

volatile std::sig_atomic_t GotSignal = 0;

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

} // namespace

std::string ForTerminal(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()))
        .toLocal8Bit()
        .toStdString();
}

TSession::TSession(const std::string& port, bool quiet) : Host(port), Link(Host), Quiet(quiet) {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    Host.OnPacket = [this](const std::string& str) {
        try {
            Link.ComDataPacket1Packet(str);
        } catch (const std::exception& e) {
            Complain(e.what());
        }
        Answered = Answered || Link.Values().LinkAlive;
    };
    Host.OnReplyTimeout = [this] { Link.ReplyTimeout(); };
    Host.OnLineActivity = [this] { Link.LineActivity(); };
    Host.OnError = [this](const std::string& message) { Complain(message); };
    Host.OnMessage = [this](const std::string& message) { Complain(message); };
    // Precise: the download asks for one entry per 80 ms tick, and a coarse timer may
    // stretch every tick by a few milliseconds.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(250);
    Timer2.setInterval(80);
    QObject::connect(&Timer1, &QTimer::timeout, [this] { Tick250(); });
    QObject::connect(&Timer2, &QTimer::timeout, [this] { Link.Timer2Timer(); });
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
    // A tick sends at most one poll step, so each move of the step by one is one step out.
    const int step = Link.Values().PollStep;
    if (step == (LastPollStep + 1) % protocol::PollStepCount)
        ++PollStepsSent;
    LastPollStep = step;
    // Searching starts the cycle over: what was read before may be gone.
    if (Link.Values().LinkState == klink::StateSearching) {
        PollStepsSent = 0;
        if (Answered && SearchingSinceMs < 0)
            SearchingSinceMs = Clock.elapsed();
    } else {
        SearchingSinceMs = -1;
    }
}

bool TSession::LinkQuiet() const {
    return !Link.Awaiting() && !Link.Settling();
}

bool TSession::LinkLost() const {
    return Host.LineFailed ||
           (SearchingSinceMs >= 0 && Clock.elapsed() - SearchingSinceMs >= LostAfterMs);
}

bool TSession::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || Interrupted())
            loop.quit();
    });
    check.start(5);
    QTimer limit;
    if (timeoutMs >= 0) {
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(timeoutMs);
    }
    loop.exec();
    return done();
}

int TSession::Connect() {
    Link.SetDateFormats(protocol::DateFormats{'/', "dd/mm/yy", ':', "hh:mm"});
    if (!Link.FormCreate()) {
        Complain("cannot open " + Host.Port() +
                 (Host.OpenAdvice.empty() ? std::string() : ": " + Host.OpenAdvice));
        return ExitNoLogger;
    }
    Clock.start();
    Timer1.start();
    Timer2.start();
    if (!RunUntil([this] { return Answered; }, AnswerWaitMs)) {
        if (!Interrupted())
            Complain("no Kestro answered on " + Host.Port());
        return ExitNoLogger;
    }
    const bool read = RunUntil(
        [this] {
            return LinkLost() || (Link.Values().LinkState == klink::StateReady && LinkQuiet());
        },
        CycleWaitMs);
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
    RunUntil([this] { return LinkLost() || LinkQuiet(); }, CycleWaitMs);
    PollStepsSent = 0;
    const bool read = RunUntil(
        [this] {
            return LinkLost() || (PollStepsSent >= protocol::PollStepCount && LinkQuiet() &&
                                  Link.Values().LinkState == klink::StateReady);
        },
        CycleWaitMs);
    return CycleOutcome(read);
}

} // namespace cli
