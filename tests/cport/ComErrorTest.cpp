#include "cport/ComError.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

using namespace cport;

TEST(ComErrorTest, MessagesKeepTheirFixedNumbering) {
    const std::pair<int, const char*> Table[] = {
        {1, "Unable to open com port"},
        {2, "WriteFile function failed"},
        {3, "ReadFile function failed"},
        {4, "Invalid Async parameter"},
        {5, "PurgeComm function failed"},
        {6, "Unable to get async status"},
        {7, "SetCommState function failed"},
        {8, "SetCommTimeouts failed"},
        {9, "SetupComm function failed"},
        {10, "ClearCommError function failed"},
        {11, "GetCommModemStatus function failed"},
        {12, "EscapeCommFunction function failed"},
        {13, "TransmitCommChar function failed"},
        {14, "Cannot set property while connected"},
        {15, "EnumPorts function failed"},
        {16, "Failed to store settings"},
        {17, "Failed to load settings"},
        {18, "Link (un)registration failed"},
        {19, "Cannot change led state if ComPort is selected"},
        {20, "Cannot wait for event if event thread is created"},
        {21, "WaitForEvent method failed"},
        {22, "A component is linked to OnRxBuf event"},
        {23, "Registry error"},
    };
    for (const auto& [Code, Text] : Table)
        EXPECT_EQ(ComErrorMessage(Code), Text) << "code " << Code;
    EXPECT_EQ(ComErrorMessage(0), "");
    EXPECT_EQ(ComErrorMessage(24), "");
}

TEST(ComErrorTest, SystemCodeIsAppendedAsSignedDecimal) {
    EComPort WithCode(1, 5);
    EXPECT_STREQ(WithCode.what(), "Unable to open com port (win error code: 5)");
    EXPECT_EQ(WithCode.ErrorCode(), 1);
    EXPECT_EQ(WithCode.SystemCode(), 5);

    EComPort Negative(7, -22);
    EXPECT_STREQ(Negative.what(), "SetCommState function failed (win error code: -22)");
}

TEST(ComErrorTest, WithoutSystemCodeTheMessageStandsAlone) {
    EComPort E(14);
    EXPECT_STREQ(E.what(), "Cannot set property while connected");
    EXPECT_EQ(E.SystemCode(), -1);
    EXPECT_EQ(E.ErrorCode(), 14);
}

TEST(ComErrorTest, ApplicationHandlerReceivesExceptionsAndDefaultWritesStderr) {
    std::string Seen;
    SetApplicationExceptionHandler([&](const std::exception& E) { Seen = E.what(); });
    HandleApplicationException(std::make_exception_ptr(EComPort(18)));
    EXPECT_EQ(Seen, "Link (un)registration failed");
    HandleApplicationException(std::make_exception_ptr(42));
    EXPECT_EQ(Seen, "Unknown exception");

    SetApplicationExceptionHandler(nullptr);
    std::stringstream Captured;
    std::streambuf* Old = std::cerr.rdbuf(Captured.rdbuf());
    HandleApplicationException(EComPort(3, 5));
    std::cerr.rdbuf(Old);
    EXPECT_EQ(Captured.str(), "ReadFile function failed (win error code: 5)\n");
}
