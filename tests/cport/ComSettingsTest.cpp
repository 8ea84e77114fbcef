#include "cport/ComSettings.h"

#include "PtyHelper.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace cport;

namespace {

const TStoredGroups AllGroups{grBasic, grFlowControl, grBuffer, grTimeouts, grParity, grOthers};

// A fresh ini file path for each test, removed afterwards.
class TempIni {
public:
    TempIni() {
        const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
        Path = ::testing::TempDir() + "quorva_" + Info->name() + ".ini";
        std::remove(Path.c_str());
    }
    ~TempIni() { std::remove(Path.c_str()); }
    std::string Read() const {
        std::ifstream In(Path);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }
    void Write(const std::string& Text) const { std::ofstream(Path) << Text; }
    std::string Path;
};

// Every field away from its default, so that a round trip that drops one shows.
void SetEverything(TCustomComPort& P) {
    P.SetPort("/dev/pts/ 9 ");
    P.SetBaudRate(brCustom);
    P.SetCustomBaudRate(31250);
    P.SetStopBits(sbOne5StopBits);
    P.SetDataBits(dbSeven);
    P.Parity().SetBits(prMark);
    P.Parity().SetCheck(true);
    P.Parity().SetReplace(true);
    P.Parity().SetReplaceChar(' ');
    P.SetEventChar('>');
    P.SetDiscardNull(true);
    P.Buffer().SetOutputSize(4096);
    P.Buffer().SetInputSize(2048);
    P.Timeouts().SetReadInterval(5);
    P.Timeouts().SetReadTotalConstant(6);
    P.Timeouts().SetReadTotalMultiplier(7);
    P.Timeouts().SetWriteTotalConstant(8);
    P.Timeouts().SetWriteTotalMultiplier(9);
    TComFlowControl& F = P.FlowControl();
    F.SetControlRTS(rtsToggle);
    F.SetControlDTR(dtrHandshake);
    F.SetDSRSensitivity(true);
    F.SetOutCTSFlow(true);
    F.SetOutDSRFlow(true);
    F.SetTxContinueOnXoff(true);
    F.SetXonXoffIn(true);
    F.SetXonXoffOut(false);
    F.SetXoffChar(static_cast<char>(200));
    F.SetXonChar('#');
}

// Every setting of the port as "name=value", read through a full store.
std::vector<std::string> Snapshot(const TCustomComPort& Port) {
    TRegistry Key;
    StoreToRegistry(Port, Key);
    std::vector<std::string> Result;
    for (const std::string& Name : Key.GetValueNames()) {
        try {
            Result.push_back(Name + "=" + Key.ReadString(Name));
        } catch (const ERegistryException&) {
            Result.push_back(Name + "=" + std::to_string(Key.ReadInteger(Name)));
        }
    }
    return Result;
}

std::vector<std::string> Keys(const std::string& IniText) {
    std::vector<std::string> Result;
    std::istringstream In(IniText);
    for (std::string Line; std::getline(In, Line);)
        if (Line.find('=') != std::string::npos)
            Result.push_back(Line.substr(0, Line.find('=')));
    return Result;
}

} // namespace

TEST(ComSettingsTest, EnumerationTextsRoundTripAndFallBack) {
    for (int I = brCustom; I <= br256000; ++I) {
        const auto V = static_cast<TBaudRate>(I);
        EXPECT_EQ(TextToBaudRate(BaudRateToText(V)), V);
    }
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(BaudRateToText(br115200), "115200");
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("9601"), br9600);

    const std::vector<std::string> Stop{"1", "1.5", "2"}, Data{"5", "6", "7", "8"};
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(StopBitsToText(static_cast<TStopBits>(I)), Stop[I]);
        EXPECT_EQ(TextToStopBits(Stop[I]), I);
    }
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(DataBitsToText(static_cast<TDataBits>(I)), Data[I]);
        EXPECT_EQ(TextToDataBits(Data[I]), I);
    }
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToDataBits("9"), dbEight);

    EXPECT_EQ(ParityToText(prSpace), "Space");
    EXPECT_EQ(TextToParity("eVeN"), prEven);
    EXPECT_EQ(TextToParity(""), prNone);
    EXPECT_EQ(FlowControlToText(fcSoftware), "Software");
    EXPECT_EQ(TextToFlowControl("HARDWARE"), fcHardware);
    EXPECT_EQ(TextToFlowControl("none "), fcCustom);
    EXPECT_EQ(ControlRTSToText(rtsToggle), "Toggle");
    EXPECT_EQ(TextToControlRTS("handshake"), rtsHandshake);
    EXPECT_EQ(TextToControlRTS("Toggle!"), rtsDisable);
    EXPECT_EQ(ControlDTRToText(dtrEnable), "Enable");
    EXPECT_EQ(TextToControlDTR("Toggle"), dtrDisable);
}

TEST(ComSettingsTest, YesNoIsTrueOnlyForYes) {
    EXPECT_EQ(YesNoToText(true), "Yes");
    EXPECT_EQ(YesNoToText(false), "No");
    for (const char* T : {"Yes", "YES", "yEs"})
        EXPECT_TRUE(TextToYesNo(T)) << T;
    for (const char* T : {"No", "", "Y", "yes ", "true", "1"})
        EXPECT_FALSE(TextToYesNo(T)) << T;
}

TEST(ComSettingsTest, CharacterFormWritesAndReads) {
    const struct {
        int Code;
        std::string Text;
    } Written[] = {{'>', ">"}, {' ', "#32"},  {200, "#200"}, {0, "#0"},  {17, "#17"},
                   {33, "!"},  {127, "\x7f"}, {128, "#128"}, {'#', "#"}, {255, "#255"}};
    for (const auto& W : Written) {
        EXPECT_EQ(CharToText(static_cast<char>(W.Code)), W.Text) << W.Code;
        EXPECT_EQ(static_cast<unsigned char>(TextToChar(W.Text)), W.Code) << W.Text;
    }
    const struct {
        std::string Text;
        int Code;
    } Read[] = {{"", 0},      {"ab", 'a'},         {"#abc", 0},   {"#12x", 0}, {"#300", 44},
                {"#-1", 255}, {"#99999999999", 0}, {"#065", 'A'}, {"# 65", 0}, {"#", '#'}};
    for (const auto& R : Read)
        EXPECT_EQ(static_cast<unsigned char>(TextToChar(R.Text)), R.Code) << R.Text;
}

TEST(ComSettingsTest, DefaultStoreWritesOnlyTheBasicKeys) {
    TempIni Ini;
    TComPort Port;
    Port.SetName("ComPort1");
    {
        TIniFile File(Ini.Path);
        StoreToIniFile(Port, File);
    }
    EXPECT_EQ(Ini.Read(), "[ComPort1]\nPort=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\n"
                          "Parity=None\nFlowControl=None\n");

    Port.SetBaudRate(brCustom);
    TRegistry Key;
    StoreToRegistry(Port, Key);
    EXPECT_EQ(Key.GetValueNames(),
              (std::vector<std::string>{"Port", "BaudRate", "CustomBaudRate", "StopBits",
                                        "DataBits", "Parity", "FlowControl"}));
    EXPECT_EQ(Key.ReadInteger("CustomBaudRate"), 9600);
}

TEST(ComSettingsTest, AllGroupsRoundTripThroughAnIniFileInKeyOrder) {
    TempIni Ini;
    TComPort Source, Target;
    for (TComPort* P : {&Source, &Target}) {
        P->SetName("Line");
        P->SetStoredGroups(AllGroups);
    }
    SetEverything(Source);
    {
        TIniFile File(Ini.Path);
        StoreToIniFile(Source, File);
    }
    const std::vector<std::string> Expected{"Port",
                                            "BaudRate",
                                            "CustomBaudRate",
                                            "StopBits",
                                            "DataBits",
                                            "Parity",
                                            "FlowControl",
                                            "EventChar",
                                            "DiscardNull",
                                            "Parity.Check",
                                            "Parity.Replace",
                                            "Parity.ReplaceChar",
                                            "Buffer.OutputSize",
                                            "Buffer.InputSize",
                                            "Timeouts.ReadInterval",
                                            "Timeouts.ReadTotalConstant",
                                            "Timeouts.ReadTotalMultiplier",
                                            "Timeouts.WriteTotalConstant",
                                            "Timeouts.WriteTotalMultiplier",
                                            "FlowControl.ControlRTS",
                                            "FlowControl.ControlDTR",
                                            "FlowControl.DSRSensitivity",
                                            "FlowControl.OutCTSFlow",
                                            "FlowControl.OutDSRFlow",
                                            "FlowControl.TxContinueOnXoff",
                                            "FlowControl.XonXoffIn",
                                            "FlowControl.XonXoffOut",
                                            "FlowControl.XoffChar",
                                            "FlowControl.XonChar"};
    const std::string Text = Ini.Read();
    EXPECT_EQ(Keys(Text), Expected);
    EXPECT_NE(Text.find("Parity.ReplaceChar=#32\n"), std::string::npos);
    EXPECT_NE(Text.find("FlowControl.XoffChar=#200\n"), std::string::npos);
    EXPECT_NE(Text.find("FlowControl=Custom\n"), std::string::npos);

    const TIniFile Reread(Ini.Path);
    LoadFromIniFile(Target, Reread);
    EXPECT_EQ(Snapshot(Target), Snapshot(Source));
}

TEST(ComSettingsTest, AllGroupsRoundTripThroughARegistryKey) {
    TComPort Source, Target;
    Source.SetStoredGroups(AllGroups);
    Target.SetStoredGroups(AllGroups);
    SetEverything(Source);
    TRegistry Key;
    StoreToRegistry(Source, Key);
    // Integers are kept as integers, texts as texts.
    EXPECT_EQ(Key.ReadInteger("Buffer.InputSize"), 2048);
    EXPECT_THROW(Key.ReadString("Buffer.InputSize"), ERegistryException);
    EXPECT_THROW(Key.ReadInteger("EventChar"), ERegistryException);
    LoadFromRegistry(Target, Key);
    EXPECT_EQ(Snapshot(Target), Snapshot(Source));
}

TEST(ComSettingsTest, MissingIniKeysLeaveTheirSettingsAlone) {
    TempIni Ini;
    Ini.Write("; kept by hand\n[other]\nBaudRate=110\n\n[comport1]\nbaudrate = 19200\n"
              "PARITY=odd\nBuffer.InputSize=oops\nTimeouts.ReadInterval=-7\n");
    TComPort Port;
    Port.SetName("ComPort1");
    Port.SetStoredGroups(AllGroups);
    Port.SetPort("COM4");
    Port.SetStopBits(sbTwoStopBits);
    Port.SetEventChar('>');
    Port.FlowControl().SetControlDTR(dtrEnable);
    Port.FlowControl().SetXonChar('Q');
    Port.Buffer().SetInputSize(512);

    LoadFromIniFile(Port, TIniFile(Ini.Path));
    EXPECT_EQ(Port.BaudRate(), br19200);
    EXPECT_EQ(Port.Parity().Bits(), prOdd);
    EXPECT_EQ(Port.Timeouts().ReadInterval(), -7);
    EXPECT_EQ(Port.Port(), "COM4");
    EXPECT_EQ(Port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(Port.EventChar(), '>');
    EXPECT_EQ(Port.FlowControl().ControlDTR(), dtrEnable);
    EXPECT_EQ(Port.FlowControl().XonChar(), 'Q');
    EXPECT_EQ(Port.Buffer().InputSize(), 512); // not a number: the current value stays
    EXPECT_EQ(Port.Timeouts().WriteTotalConstant(), 1000);
}

TEST(ComSettingsTest, BaudRateTextsLoadWithTheirFallbacks) {
    TempIni Ini;
    TComPort Port;
    Port.SetName("P");
    Ini.Write("[P]\nBaudRate=custom\n");
    Port.SetCustomBaudRate(1234);
    LoadFromIniFile(Port, TIniFile(Ini.Path));
    EXPECT_EQ(Port.BaudRate(), brCustom);
    EXPECT_EQ(Port.CustomBaudRate(), 9600); // a missing custom rate reads as 9600

    Ini.Write("[P]\nBaudRate=Custom\nCustomBaudRate=250000\n");
    LoadFromIniFile(Port, TIniFile(Ini.Path));
    EXPECT_EQ(Port.CustomBaudRate(), 250000);

    Ini.Write("[P]\nBaudRate=9601\n");
    LoadFromIniFile(Port, TIniFile(Ini.Path));
    EXPECT_EQ(Port.BaudRate(), br9600);
}

TEST(ComSettingsTest, FlowControlSummaryLoadsThroughItsSetter) {
    TRegistry Key;
    TComPort Port;
    Port.FlowControl().SetXonXoffIn(true);
    Port.FlowControl().SetXonXoffOut(true);
    Port.FlowControl().SetControlDTR(dtrEnable);
    Key.WriteString("FlowControl", "Hardware");
    LoadFromRegistry(Port, Key);
    EXPECT_EQ(Port.FlowControl().ControlRTS(), rtsHandshake);
    EXPECT_TRUE(Port.FlowControl().OutCTSFlow());
    EXPECT_FALSE(Port.FlowControl().XonXoffIn());
    EXPECT_FALSE(Port.FlowControl().XonXoffOut());
    EXPECT_EQ(Port.FlowControl().ControlDTR(), dtrEnable);

    // Unknown text is the custom summary, which changes no field.
    Key.WriteString("FlowControl", "Sideways");
    LoadFromRegistry(Port, Key);
    EXPECT_EQ(Port.FlowControl().FlowControl(), fcHardware);
}

TEST(ComSettingsTest, RegistryReadsHaveNoDefaults) {
    TRegistry Key;
    TComPort Port;
    Port.SetBaudRate(br115200);
    Port.SetStopBits(sbTwoStopBits);
    // Missing texts read empty: every setting takes its fallback, the port name goes empty.
    LoadFromRegistry(Port, Key);
    EXPECT_EQ(Port.Port(), "");
    EXPECT_EQ(Port.BaudRate(), br9600);
    EXPECT_EQ(Port.StopBits(), sbOneStopBit);

    // A missing integer is the registry's own error.
    Key.WriteString("BaudRate", "Custom");
    EXPECT_THROW(LoadFromRegistry(Port, Key), ERegistryException);
    Port.SetStoredGroups({grBuffer});
    EXPECT_THROW(LoadFromRegistry(Port, Key), ERegistryException);
}

TEST(ComSettingsTest, IniFileKeepsOtherTextAndProtectsItsFormat) {
    TempIni Ini;
    Ini.Write("; settings\n[Other]\nKey=1\n\n[Line]\nPort=COM2\n");
    {
        TIniFile File(Ini.Path);
        File.WriteString("line", "port", "  spaced name ");
        File.WriteInteger("Line", "Count", -3);
        File.WriteString("New", "Quoted", "\"q\"");
        EXPECT_THROW(File.WriteString("Line", "Port", "a\nBaudRate=110"), EIniFileException);
        EXPECT_THROW(File.WriteString("A]B", "Port", "x"), EIniFileException);
        EXPECT_THROW(File.WriteString("Line", "K=V", "x"), EIniFileException);
    }
    EXPECT_EQ(Ini.Read(), "; settings\n[Other]\nKey=1\n\n[Line]\nPort=\"  spaced name \"\n"
                          "Count=-3\n\n[New]\nQuoted=\"\"q\"\"\n");
    const TIniFile File(Ini.Path);
    EXPECT_EQ(File.ReadString("LINE", "PORT", ""), "  spaced name ");
    EXPECT_EQ(File.ReadInteger("Line", "Count", 0), -3);
    EXPECT_EQ(File.ReadString("New", "Quoted", ""), "\"q\"");
    EXPECT_EQ(File.ReadString("Other", "Missing", "dflt"), "dflt");
    EXPECT_EQ(File.ReadInteger("Other", "Key", 9), 1);

    TIniFile Unwritable(::testing::TempDir() + "no_such_dir/x.ini");
    EXPECT_THROW(Unwritable.WriteString("S", "K", "V"), EIniFileException);
}

TEST(ComSettingsTest, LoadingReconfiguresAnOpenPort) {
    cport_test::TPty Pty;
    TComPort Port;
    Port.SetPort(Pty.SlavePath());
    Port.OpenPort();
    TRegistry Key;
    Key.WriteString("Port", Pty.SlavePath());
    Key.WriteString("BaudRate", "19200");
    Key.WriteString("StopBits", "2");
    Key.WriteString("DataBits", "8");
    Key.WriteString("Parity", "None");
    Key.WriteString("FlowControl", "None");
    LoadFromRegistry(Port, Key);
    EXPECT_TRUE(Port.Connected());
    termios Line{};
    ASSERT_EQ(tcgetattr(Pty.Master(), &Line), 0);
    EXPECT_EQ(cfgetospeed(&Line), static_cast<speed_t>(B19200));
    EXPECT_NE(Line.c_cflag & CSTOPB, 0u);
    Port.ClosePort();
}
