#include "PtyHelper.h"

#include "cport/ComPortRules.h"
#include "cport/ComSync.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace cport_test {

using Clock = std::chrono::steady_clock;

TPty::TPty() {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
        throw std::runtime_error("no pseudo-terminal");
    char Name[128];
    if (ptsname_r(FMaster, Name, sizeof Name) != 0)
        throw std::runtime_error("no pseudo-terminal name");
    FSlavePath = Name;
}

TPty::~TPty() {
    CloseMaster();
}

void TPty::Write(const std::string& Text) const {
    if (::write(FMaster, Text.data(), Text.size()) != static_cast<ssize_t>(Text.size()))
        throw std::runtime_error("short write to the pty master");
}

std::string TPty::Read(size_t Count, std::chrono::milliseconds Timeout) const {
    std::string Result;
    const auto Until = Clock::now() + Timeout;
    while (Result.size() < Count) {
        const auto Left =
            std::chrono::duration_cast<std::chrono::milliseconds>(Until - Clock::now());
        if (Left.count() <= 0)
            break;
        pollfd P{FMaster, POLLIN, 0};
        if (::poll(&P, 1, static_cast<int>(Left.count())) <= 0)
            break;
        char Chunk[512];
        const ssize_t N = ::read(FMaster, Chunk, std::min(sizeof Chunk, Count - Result.size()));
        if (N <= 0)
            break;
        Result.append(Chunk, static_cast<size_t>(N));
    }
    return Result;
}

void TPty::CloseMaster() {
    if (FMaster >= 0)
        ::close(FMaster);
    FMaster = -1;
}

namespace {

const char* const MissingDevice = "/nonexistent/quorva-test-no-device";

[[maybe_unused]] const bool NoRealDevices = [] {
    cport::SetComPortNaming({"QUORVA_COM", {{"quorva", "another copy of Quorva"}}});
    for (int Number = 1; Number <= 32; ++Number)
        setenv(("QUORVA_COM" + std::to_string(Number)).c_str(), MissingDevice, 1);
    return true;
}();

} // namespace

TComEnv::TComEnv(int Number, const std::string& Path)
    : FName("QUORVA_COM" + std::to_string(Number)) {
    if (const char* Old = std::getenv(FName.c_str())) {
        FOld = Old;
        FHadOld = true;
    }
    setenv(FName.c_str(), Path.c_str(), 1);
}

TComEnv::~TComEnv() {
    if (FHadOld)
        setenv(FName.c_str(), FOld.c_str(), 1);
    else
        unsetenv(FName.c_str());
}

bool ServeUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
    const auto Until = Clock::now() + Timeout;
    for (;;) {
        cport::ProcessPendingCalls();
        if (Done())
            return true;
        if (Clock::now() >= Until)
            return false;
        cport::WaitForPendingCalls(std::chrono::milliseconds(2));
    }
}

void ServeFor(std::chrono::milliseconds Period) {
    ServeUntil([] { return false; }, Period);
}

void ForgetHandlers(cport::TCustomComPort& Port) {
    Port.OnAfterOpen = Port.OnAfterClose = Port.OnBeforeOpen = Port.OnBeforeClose = nullptr;
    Port.OnTxEmpty = Port.OnBreak = Port.OnRing = Port.OnRxFlag = Port.OnRx80Full = nullptr;
    Port.OnRxChar = nullptr;
    Port.OnRxBuf = nullptr;
    Port.OnCTSChange = Port.OnDSRChange = Port.OnRLSDChange = nullptr;
    Port.OnError = nullptr;
}

} // namespace cport_test
