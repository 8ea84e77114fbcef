// Property defaults, the groups' rules, and the port's lifecycle without a device.
#include "PtyHelper.h"

#include "cport/CPort.h"

#include <gtest/gtest.h>

using namespace cport;
using namespace cport_test;

TEST(ComPortGroups, ConstructionGivesTheStoredDefaults) {
    TComPort Port;
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.BaudRate(), br9600);
    EXPECT_EQ(Port.CustomBaudRate(), 9600);
    EXPECT_EQ(Port.Port(), "COM1");
    EXPECT_EQ(Port.StopBits(), sbOneStopBit);
    EXPECT_EQ(Port.DataBits(), dbEight);
    EXPECT_FALSE(Port.DiscardNull());
    EXPECT_EQ(Port.EventChar(), 0);
    EXPECT_EQ(Port.Events(), AllComEvents);
    EXPECT_EQ(Port.SyncMethod(), smThreadSync);
    EXPECT_EQ(Port.StoredGroups(), TStoredGroups{grBasic});
    EXPECT_EQ(Port.Parity().Bits(), prNone);
    EXPECT_FALSE(Port.Parity().Check());
    EXPECT_FALSE(Port.Parity().Replace());
    EXPECT_EQ(Port.Parity().ReplaceChar(), 0);
    EXPECT_EQ(Port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(Port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(Port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(Port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(Port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(Port.Buffer().InputSize(), 1024);
    EXPECT_EQ(Port.Buffer().OutputSize(), 1024);
    const TComFlowControl& F = Port.FlowControl();
    EXPECT_EQ(F.FlowControl(), fcNone);
    EXPECT_EQ(F.ControlDTR(), dtrDisable);
    EXPECT_EQ(F.ControlRTS(), rtsDisable);
    EXPECT_FALSE(F.OutCTSFlow() || F.OutDSRFlow() || F.XonXoffIn() || F.XonXoffOut() ||
                 F.DSRSensitivity() || F.TxContinueOnXoff());
    EXPECT_EQ(F.XonChar(), 17);
    EXPECT_EQ(F.XoffChar(), 19);
    EXPECT_EQ(Port.Parity().ComPort(), &Port);
    EXPECT_EQ(Port.Buffer().ComPort(), &Port);
}

TEST(ComPortGroups, BufferSizesStayEven) {
    const std::pair<int32_t, int32_t> Table[] = {{1025, 1024}, {1024, 1024}, {1, 0},
                                                 {4097, 4096}, {0, 0},       {-3, -3}};
    for (const auto& [Given, Stored] : Table) {
        TComBuffer Buffer;
        Buffer.SetInputSize(Given);
        Buffer.SetOutputSize(Given);
        EXPECT_EQ(Buffer.InputSize(), Stored) << Given;
        EXPECT_EQ(Buffer.OutputSize(), Stored) << Given;
    }
}

TEST(ComPortGroups, FlowControlSummaryReadsFromFourFields) {
    struct Case {
        TRTSFlowControl Rts;
        bool Cts, XonIn, XonOut;
        TFlowControl Expected;
    };
    const Case Table[] = {
        {rtsHandshake, true, false, false, fcHardware}, {rtsHandshake, true, true, false, fcCustom},
        {rtsEnable, true, false, false, fcCustom},      {rtsDisable, false, true, true, fcSoftware},
        {rtsDisable, false, true, false, fcCustom},     {rtsDisable, true, true, true, fcCustom},
        {rtsDisable, false, false, false, fcNone},      {rtsToggle, false, false, false, fcCustom},
    };
    for (const Case& C : Table) {
        TComFlowControl F;
        F.SetControlRTS(C.Rts);
        F.SetOutCTSFlow(C.Cts);
        F.SetXonXoffIn(C.XonIn);
        F.SetXonXoffOut(C.XonOut);
        // Neither DTR control nor DSR flow is part of the summary.
        F.SetControlDTR(dtrHandshake);
        F.SetOutDSRFlow(true);
        EXPECT_EQ(F.FlowControl(), C.Expected) << int(C.Rts) << C.Cts << C.XonIn << C.XonOut;
    }
}

TEST(ComPortGroups, WritingTheSummarySetsItsFieldsAndLeavesTheDsrSideAlone) {
    TComFlowControl F;
    F.SetControlDTR(dtrHandshake);
    F.SetOutDSRFlow(true);
    F.SetDSRSensitivity(true);
    F.SetXonXoffIn(true);

    F.SetFlowControl(fcHardware);
    EXPECT_EQ(F.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(F.OutCTSFlow());
    EXPECT_FALSE(F.XonXoffIn() || F.XonXoffOut());
    EXPECT_EQ(F.FlowControl(), fcHardware);

    F.SetFlowControl(fcCustom);
    EXPECT_EQ(F.FlowControl(), fcHardware);

    F.SetFlowControl(fcSoftware);
    EXPECT_EQ(F.ControlRTS(), rtsDisable);
    EXPECT_FALSE(F.OutCTSFlow());
    EXPECT_TRUE(F.XonXoffIn() && F.XonXoffOut());

    F.SetFlowControl(fcNone);
    EXPECT_EQ(F.FlowControl(), fcNone);
    EXPECT_EQ(F.ControlDTR(), dtrHandshake);
    EXPECT_TRUE(F.OutDSRFlow());
    EXPECT_TRUE(F.DSRSensitivity());
}

TEST(ComPortGroups, AssigningAGroupCopiesEveryField) {
    TComPort Port;
    TComFlowControl F;
    F.SetOutCTSFlow(true);
    F.SetOutDSRFlow(true);
    F.SetControlDTR(dtrEnable);
    F.SetControlRTS(rtsToggle);
    F.SetXonXoffOut(true);
    F.SetXonXoffIn(true);
    F.SetDSRSensitivity(true);
    F.SetTxContinueOnXoff(true);
    F.SetXonChar('a');
    F.SetXoffChar('b');
    Port.SetFlowControl(F);
    const TComFlowControl& G = Port.FlowControl();
    EXPECT_TRUE(G.OutCTSFlow() && G.OutDSRFlow() && G.XonXoffOut() && G.XonXoffIn() &&
                G.DSRSensitivity() && G.TxContinueOnXoff());
    EXPECT_EQ(G.ControlDTR(), dtrEnable);
    EXPECT_EQ(G.ControlRTS(), rtsToggle);
    EXPECT_EQ(G.XonChar(), 'a');
    EXPECT_EQ(G.XoffChar(), 'b');
    EXPECT_EQ(G.ComPort(), &Port);

    TComParity P;
    P.SetBits(prMark);
    P.SetCheck(true);
    P.SetReplace(true);
    P.SetReplaceChar('?');
    Port.SetParity(P);
    EXPECT_EQ(Port.Parity().Bits(), prMark);
    EXPECT_TRUE(Port.Parity().Check() && Port.Parity().Replace());
    EXPECT_EQ(Port.Parity().ReplaceChar(), '?');

    TComTimeouts T;
    T.SetReadInterval(1);
    T.SetReadTotalMultiplier(2);
    T.SetReadTotalConstant(3);
    T.SetWriteTotalMultiplier(4);
    T.SetWriteTotalConstant(5);
    Port.SetTimeouts(T);
    EXPECT_EQ(Port.Timeouts().ReadInterval(), 1);
    EXPECT_EQ(Port.Timeouts().ReadTotalMultiplier(), 2);
    EXPECT_EQ(Port.Timeouts().ReadTotalConstant(), 3);
    EXPECT_EQ(Port.Timeouts().WriteTotalMultiplier(), 4);
    EXPECT_EQ(Port.Timeouts().WriteTotalConstant(), 5);

    TComBuffer B;
    B.SetInputSize(64);
    B.SetOutputSize(128);
    Port.SetBuffer(B);
    EXPECT_EQ(Port.Buffer().InputSize(), 64);
    EXPECT_EQ(Port.Buffer().OutputSize(), 128);
}

TEST(ComPortLifecycle, DesignModeOnlyRecordsConnected) {
    TPty Pty;
    TComEnv Env(1, Pty.SlavePath());
    TComPort Port;
    int Opens = 0;
    Port.OnBeforeOpen = [&](TObject*) { ++Opens; };
    Port.SetDesigning(true);
    Port.SetConnected(true);
    EXPECT_TRUE(Port.Connected());
    Port.OpenPort();
    EXPECT_EQ(Opens, 0);
    // Nothing was opened, so the line of a closed device still fails.
    EXPECT_THROW(Port.SetDtrLine(true), EComPort);
    Port.SetConnected(false);
    EXPECT_FALSE(Port.Connected());
}

TEST(ComPortLifecycle, LoadingOpensOnceLoadedAndReportsAFailureInstead) {
    std::vector<std::string> Reported;
    SetApplicationExceptionHandler([&](const std::exception& E) { Reported.push_back(E.what()); });
    {
        TPty Pty;
        TComEnv Env(1, Pty.SlavePath());
        TComPort Port;
        Port.BeginLoading();
        Port.SetConnected(true);
        Port.SetBaudRate(br4800);
        EXPECT_TRUE(Port.Loading());
        Port.Loaded();
        EXPECT_FALSE(Port.Loading());
        EXPECT_TRUE(Port.Connected());
        EXPECT_EQ(Port.WriteText("ok"), 2);
        EXPECT_EQ(Pty.Read(2, std::chrono::seconds(2)), "ok");
    }
    {
        TComEnv Env(1, "/nonexistent/quorva-missing");
        TComPort Port;
        Port.BeginLoading();
        Port.SetConnected(true);
        EXPECT_NO_THROW(Port.Loaded());
        EXPECT_FALSE(Port.Connected());
    }
    SetApplicationExceptionHandler(nullptr);
    ASSERT_EQ(Reported.size(), 1u);
    EXPECT_EQ(Reported[0], "Unable to open com port (win error code: 2)");
}

TEST(ComPortLifecycle, DestructionClosesAndTellsWhoFollowsThePort) {
    TPty Pty;
    TComEnv Env(1, Pty.SlavePath());
    TObject Follower, Gone;
    int Told = 0, ToldGone = 0, Closed = 0;
    {
        TComPort Port;
        Port.OnAfterClose = [&](TObject*) { ++Closed; };
        Port.AddFreeNotification(&Follower, [&] { ++Told; });
        Port.AddFreeNotification(&Gone, [&] { ++ToldGone; });
        Port.RemoveFreeNotification(&Gone);
        Port.OpenPort();
    }
    EXPECT_EQ(Closed, 1);
    EXPECT_EQ(Told, 1);
    EXPECT_EQ(ToldGone, 0);
}

TEST(ComPortLifecycle, TransferOperationsRefuseANullRecord) {
    TComPort Port;
    PTransfer Null = nullptr;
    char Byte = 0;
    std::string Text;
    const std::function<void()> Calls[] = {
        [&] { Port.WriteBytesAsync("a", 1, Null); }, [&] { Port.WriteTextAsync("a", Null); },
        [&] { Port.ReadBytesAsync(&Byte, 1, Null); }, [&] { Port.ReadTextAsync(Text, 1, Null); },
        [&] { Port.WaitTransfer(Null); }};
    for (const auto& Call : Calls) {
        try {
            Call();
            ADD_FAILURE() << "null record accepted";
        } catch (const EComPort& E) {
            EXPECT_EQ(E.ErrorCode(), ecInvalidAsync);
            EXPECT_STREQ(E.what(), "Invalid Async parameter");
        }
    }
    // A record that never started a transfer is done at once.
    PTransfer Transfer = nullptr;
    Port.NewTransfer(Transfer);
    EXPECT_EQ(Port.WaitTransfer(Transfer), 0);
    Port.FreeTransfer(Transfer);
    EXPECT_EQ(Transfer, nullptr);
}
