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
    // waitSeconds: how long a port that another program holds, or a logger that does not
    // answer yet, is tried again before giving up.
    TSession(const std::string& port, bool quiet, int waitSeconds = 0);
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
    // The command is to end now: a signal came, or standard output, which it writes to, is
    // closed. Every wait ends as soon as this holds.
    bool Stopping() const;
    // Why it stops ("interrupted", "standard output is closed") and the exit status for it;
    // 0 when it does not.
    std::string StopReason() const;
    int StopCode() const;
    // Says why the command stopped and returns the exit status for it.
    int Stopped() const;
    // Standard output is closed, or a write to it failed.
    bool OutputLost() const { return OutputGone; }
    // A write to standard output made elsewhere failed: the command ends as for a closed one.
    void LoseOutput();
    // Whether a standard output that is closed ends the command (it writes there).
    void WatchOutput(bool watch) { OutputWatched = watch; }
    // Text on standard output unless quiet; a failed write (a closed pipe, a full disk) ends
    // the command as a closed output does. False when the text did not get out.
    bool Print(const std::string& text);

    // The download's own 80 ms tick runs only while it is needed.
    void StartDownloadTick() { Timer2.start(); }
    void StopDownloadTick() { Timer2.stop(); }

    // "kestro: " + text on standard error: the logger's or the link's one-byte text, decoded.
    void Complain(const std::string& text) const;
    // The same for a text already in the terminal's encoding (one that names a file).
    void ComplainLocal(const std::string& text) const;

    TCliHost Host;
    klink::TKestroLink Link;
    bool Quiet = false;

private:
    // Opens the port, trying again while another program holds it and the wait lasts.
    int OpenPort();
    // Why the last attempt failed: the device, the variable and the system's word for it.
    void ReportOpenFailure(bool busy, std::size_t errorsBefore) const;
    // Every 250 ms, from the start: signals and a closed output end the wait in progress.
    void Guard();
    void Tick250();
    // Something happened: the wait in progress looks at its condition again.
    void Wake();

    QTimer Timer1, Timer2, GuardTimer;
    QElapsedTimer Clock;
    int WaitMs = 0;
    bool OutputWatched = false;
    bool OutputGone = false;
    std::string OutputWhy;
    bool Answered = false;
    qint64 SearchingSinceMs = -1; // since when the link searches again after an answer
    QEventLoop* Waiting = nullptr;
    const std::function<bool()>* WaitDone = nullptr;
};

// Texts of the logger and the log are one byte per character; the terminal gets them decoded.
std::string ForTerminal(const std::string& latin1);

} // namespace cli
