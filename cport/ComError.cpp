#include "cport/ComError.h"

#include <array>
#include <iostream>
#include <mutex>

namespace cport {

namespace {

const std::array<const char*, 23> Messages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::mutex HandlerMutex;
TApplicationExceptionHandler Handler;

std::string WithSystemCode(int Code, int SystemCode) {
    return ComErrorMessage(Code) + " (win error code: " + std::to_string(SystemCode) + ")";
}

} // namespace

std::string ComErrorMessage(int Code) {
    if (Code < 1 || Code > static_cast<int>(Messages.size()))
        return {};
    return Messages[Code - 1];
}

EComPort::EComPort(int ACode, int ASystemCode)
    : std::runtime_error(WithSystemCode(ACode, ASystemCode)), FSystemCode(ASystemCode),
      FErrorCode(ACode) {}

EComPort::EComPort(int ACode)
    : std::runtime_error(ComErrorMessage(ACode)), FSystemCode(-1), FErrorCode(ACode) {}

void SetApplicationExceptionHandler(TApplicationExceptionHandler NewHandler) {
    std::lock_guard Lock(HandlerMutex);
    Handler = std::move(NewHandler);
}

void HandleApplicationException(const std::exception& E) {
    TApplicationExceptionHandler Current;
    {
        std::lock_guard Lock(HandlerMutex);
        Current = Handler;
    }
    if (Current)
        Current(E);
    else
        std::cerr << E.what() << std::endl;
}

void HandleApplicationException(std::exception_ptr E) {
    try {
        std::rethrow_exception(E);
    } catch (const std::exception& Caught) {
        HandleApplicationException(Caught);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown exception"));
    }
}

} // namespace cport
