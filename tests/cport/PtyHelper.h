// Pseudo-terminal pairs for the serial tests: the test holds the master, the port opens the
// slave by name through QUORVA_COMn.
#pragma once

#include "cport/ComPort.h"

#include <chrono>
#include <functional>
#include <string>

namespace cport_test {

class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    int Master() const { return FMaster; }
    // Writes all of Text to the master in one write call.
    void Write(const std::string& Text) const;
    // Reads from the master until Count bytes have come or Timeout has passed.
    std::string Read(size_t Count, std::chrono::milliseconds Timeout) const;
    void CloseMaster();

private:
    int FMaster = -1;
    std::string FSlavePath;
};

// Points QUORVA_COM<Number> at Path for the lifetime of the object, then restores it. Until a
// test sets one, every QUORVA_COMn of the test program names a missing path, so no test can
// reach a real serial device (COM1 would otherwise be this PC's first serial port).
class TComEnv {
public:
    TComEnv(int Number, const std::string& Path);
    ~TComEnv();
    TComEnv(const TComEnv&) = delete;
    TComEnv& operator=(const TComEnv&) = delete;

private:
    std::string FName;
    std::string FOld;
    bool FHadOld = false;
};

// Runs handed-over calls on this (main) thread until Done holds or Timeout passes.
bool ServeUntil(const std::function<bool()>& Done,
                std::chrono::milliseconds Timeout = std::chrono::milliseconds(3000));
// Runs handed-over calls for a while, for checks that something does not happen.
void ServeFor(std::chrono::milliseconds Period);

// Unassigns every published event, so a fixture can close a port whose handlers captured the
// locals of a test body that has already returned.
void ForgetHandlers(cport::TCustomComPort& Port);

} // namespace cport_test
