// The one exception of the serial layer, and the program-wide hook that reports exceptions
// nobody caught (the default writes the message to standard error).
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace cport {

// Error codes of the serial layer; the numbering is fixed, unused codes keep their place.
enum TComErrorCode : int {
    ecOpenFailed = 1,
    ecWriteFailed = 2,
    ecReadFailed = 3,
    ecInvalidAsync = 4,
    ecPurgeFailed = 5,
    ecAsyncCheck = 6,
    ecSetStateFailed = 7,
    ecTimeoutsFailed = 8,
    ecSetupComFailed = 9,
    ecClearComFailed = 10,
    ecModemStatFailed = 11,
    ecEscapeComFailed = 12,
    ecTransmitFailed = 13,
    ecConnChangeProp = 14,
    ecEnumPortsFailed = 15,
    ecStoreFailed = 16,
    ecLoadFailed = 17,
    ecRegFailed = 18,
    ecLedStateFailed = 19,
    ecThreadCreated = 20,
    ecWaitFailed = 21,
    ecHasLink = 22,
    ecRegError = 23
};

// The fixed message of a code (1 to 23); empty for any other value.
std::string ComErrorMessage(int Code);

class EComPort : public std::runtime_error {
public:
    // With the operating system's code: the message ends in " (win error code: <n>)".
    EComPort(int ACode, int ASystemCode);
    // Without a system cause: SystemCode is -1 and the message is the table text alone.
    explicit EComPort(int ACode);

    int SystemCode() const { return FSystemCode; }
    int ErrorCode() const { return FErrorCode; }

private:
    int FSystemCode;
    int FErrorCode;
};

// The application's exception handler: the program installs one that shows the message.
using TApplicationExceptionHandler = std::function<void(const std::exception& E)>;
void SetApplicationExceptionHandler(TApplicationExceptionHandler Handler);
// Passes an exception to the installed handler (or to the default one).
void HandleApplicationException(const std::exception& E);
void HandleApplicationException(std::exception_ptr E);

} // namespace cport
