// One run of kestro against one port: the link, its timers, and waiting in the Qt loop for
// what the link says has happened.
#pragma once

#include "cli/CliHost.h"

#include "link/KestroLink.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <string>

class QEventLoop;

namespace cli {

class TSession {
public:
    TSession(const std::string& port, bool quiet);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // Opens the port and waits until the logger has answered and one whole poll cycle has
    // read its settings. 0, or the exit code with its message printed.
    int Connect();
    // A whole poll cycle asked after every command now open or queued.
    // 0, or ExitStopped when the logger stops answering meanwhile.
    int ReadBack();

    // Runs the loop until done() holds (true) or timeoutMs passes (false; < 0: no limit).
    // done() is looked at whenever the link or the line has something to say, never polled.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);
    // The port failed, or the logger had answered and has been given up by the watchdog for
    // a while: a logger that misses a few polls on a busy line is found again on its own.
    bool LinkLost() const;
    // No question is out and none waits for the line to settle.
    bool LinkQuiet() const;
    // A poll cycle that was read (or not): done, or the logger stopped answering.
    int CycleOutcome(bool read);
    // Ctrl-C or a termination signal arrived.
    static bool Interrupted();

    // The download's own 80 ms tick runs only while it is needed.
    void StartDownloadTick() { Timer2.start(); }
    void StopDownloadTick() { Timer2.stop(); }

    // "kestro: " + text on standard error.
    void Complain(const std::string& text) const;

    TCliHost Host;
    klink::TKestroLink Link;
    bool Quiet = false;

private:
    void Tick250();
    // Something happened: the wait in progress looks at its condition again.
    void Wake();

    QTimer Timer1, Timer2;
    QElapsedTimer Clock;
    bool Answered = false;
    qint64 SearchingSinceMs = -1; // since when the link searches again after an answer
    QEventLoop* Waiting = nullptr;
    const std::function<bool()>* WaitDone = nullptr;
};

// Texts of the logger and the log are one byte per character; the terminal gets them decoded.
std::string ForTerminal(const std::string& latin1);

} // namespace cli
