#include "cport/ComSettings.h"

#include <charconv>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace cport {

namespace {

char Upper(char C) {
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameText(const std::string& A, const std::string& B) {
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (Upper(A[I]) != Upper(B[I]))
            return false;
    return true;
}

std::string Trim(const std::string& S) {
    const size_t First = S.find_first_not_of(" \t\r");
    if (First == std::string::npos)
        return "";
    return S.substr(First, S.find_last_not_of(" \t\r") - First + 1);
}

// A whole optionally signed decimal 32-bit number, nothing else.
std::optional<int32_t> ParseInteger(const std::string& Text) {
    const char* First = Text.data();
    const char* Last = First + Text.size();
    if (First != Last && *First == '+')
        ++First;
    int32_t Value = 0;
    const auto [End, Error] = std::from_chars(First, Last, Value);
    if (Error != std::errc() || End != Last || First == Last)
        return std::nullopt;
    return Value;
}

template <size_t N> int IndexOfText(const char* const (&Texts)[N], const std::string& Text) {
    for (size_t I = 0; I < N; ++I)
        if (SameText(Texts[I], Text))
            return static_cast<int>(I);
    return -1;
}

template <typename E, size_t N>
E EnumFromText(const char* const (&Texts)[N], const std::string& Text, E Fallback) {
    const int Index = IndexOfText(Texts, Text);
    return Index < 0 ? Fallback : static_cast<E>(Index);
}

template <size_t N> std::string EnumText(const char* const (&Texts)[N], unsigned Index) {
    return Index < N ? Texts[Index] : "";
}

const char* const BaudRateTexts[] = {"Custom", "110",    "300",    "600",   "1200",  "2400",
                                     "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                     "57600",  "115200", "128000", "256000"};
const char* const StopBitsTexts[] = {"1", "1.5", "2"};
const char* const DataBitsTexts[] = {"5", "6", "7", "8"};
const char* const ParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const FlowControlTexts[] = {"Hardware", "Software", "None", "Custom"};
const char* const ControlRTSTexts[] = {"Disable", "Enable", "Handshake", "Toggle"};
const char* const ControlDTRTexts[] = {"Disable", "Enable", "Handshake"};

void CheckNoLineBreak(const std::string& Text, const char* What) {
    if (Text.find_first_of("\r\n") != std::string::npos)
        throw EIniFileException(std::string("Line break in ini ") + What + ": " + Text);
}

// Surrounding quotes protect leading and trailing blanks, and quotes of the value itself.
std::string QuoteIniValue(const std::string& Value) {
    const bool Quote =
        !Value.empty() && (Value.front() == ' ' || Value.front() == '\t' || Value.back() == ' ' ||
                           Value.back() == '\t' ||
                           (Value.size() >= 2 && Value.front() == '"' && Value.back() == '"'));
    return Quote ? '"' + Value + '"' : Value;
}

std::string UnquoteIniValue(const std::string& Value) {
    if (Value.size() >= 2 && Value.front() == '"' && Value.back() == '"')
        return Value.substr(1, Value.size() - 2);
    return Value;
}

} // namespace

std::string BaudRateToText(TBaudRate Value) {
    return EnumText(BaudRateTexts, Value);
}
TBaudRate TextToBaudRate(const std::string& Text) {
    return EnumFromText(BaudRateTexts, Text, br9600);
}
std::string StopBitsToText(TStopBits Value) {
    return EnumText(StopBitsTexts, Value);
}
TStopBits TextToStopBits(const std::string& Text) {
    return EnumFromText(StopBitsTexts, Text, sbOneStopBit);
}
std::string DataBitsToText(TDataBits Value) {
    return EnumText(DataBitsTexts, Value);
}
TDataBits TextToDataBits(const std::string& Text) {
    return EnumFromText(DataBitsTexts, Text, dbEight);
}
std::string ParityToText(TParityBits Value) {
    return EnumText(ParityTexts, Value);
}
TParityBits TextToParity(const std::string& Text) {
    return EnumFromText(ParityTexts, Text, prNone);
}
std::string FlowControlToText(TFlowControl Value) {
    return EnumText(FlowControlTexts, Value);
}
TFlowControl TextToFlowControl(const std::string& Text) {
    return EnumFromText(FlowControlTexts, Text, fcCustom);
}
std::string ControlRTSToText(TRTSFlowControl Value) {
    return EnumText(ControlRTSTexts, Value);
}
TRTSFlowControl TextToControlRTS(const std::string& Text) {
    return EnumFromText(ControlRTSTexts, Text, rtsDisable);
}
std::string ControlDTRToText(TDTRFlowControl Value) {
    return EnumText(ControlDTRTexts, Value);
}
TDTRFlowControl TextToControlDTR(const std::string& Text) {
    return EnumFromText(ControlDTRTexts, Text, dtrDisable);
}
std::string YesNoToText(bool Value) {
    return Value ? "Yes" : "No";
}
bool TextToYesNo(const std::string& Text) {
    return SameText(Text, "YES");
}

std::string CharToText(char Value) {
    const int Code = static_cast<unsigned char>(Value);
    if (Code >= 33 && Code <= 127)
        return std::string(1, Value);
    return "#" + std::to_string(Code);
}

char TextToChar(const std::string& Text) {
    if (Text.empty())
        return 0;
    if (Text.size() >= 2 && Text[0] == '#') {
        const std::optional<int32_t> Code = ParseInteger(Text.substr(1));
        return Code ? static_cast<char>(static_cast<uint32_t>(*Code) & 0xFF) : 0;
    }
    return Text[0];
}

// ---- ini file

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {
    std::ifstream In(FFileName, std::ios::binary);
    if (In)
        Parse(std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()));
}

void TIniFile::Parse(const std::string& Content) {
    std::istringstream Lines(Content);
    std::string Raw;
    while (std::getline(Lines, Raw)) {
        if (!Raw.empty() && Raw.back() == '\r')
            Raw.pop_back();
        const std::string Text = Trim(Raw);
        if (Text.size() >= 2 && Text.front() == '[' && Text.find(']') != std::string::npos) {
            FSections.push_back({Trim(Text.substr(1, Text.rfind(']') - 1)), {}});
            continue;
        }
        TLine Line{Raw, "", ""};
        const size_t Equals = Text.find('=');
        if (Equals != std::string::npos && Equals > 0 && Text.front() != ';') {
            Line.Ident = Trim(Text.substr(0, Equals));
            Line.Value = UnquoteIniValue(Trim(Text.substr(Equals + 1)));
        }
        if (FSections.empty())
            FPrelude.push_back(Raw);
        else
            FSections.back().Lines.push_back(Line);
    }
}

int TIniFile::SectionIndex(const std::string& Name) const {
    for (size_t I = 0; I < FSections.size(); ++I)
        if (SameText(FSections[I].Name, Name))
            return static_cast<int>(I);
    return -1;
}

const TIniFile::TLine* TIniFile::FindLine(const std::string& Section,
                                          const std::string& Ident) const {
    const int Index = SectionIndex(Section);
    if (Index < 0)
        return nullptr;
    for (const TLine& Line : FSections[static_cast<size_t>(Index)].Lines)
        if (!Line.Ident.empty() && SameText(Line.Ident, Ident))
            return &Line;
    return nullptr;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
    return FindLine(Section, Ident) != nullptr;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
    const TLine* Line = FindLine(Section, Ident);
    return Line != nullptr ? Line->Value : Default;
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident,
                              int32_t Default) const {
    const TLine* Line = FindLine(Section, Ident);
    if (Line == nullptr)
        return Default;
    return ParseInteger(Line->Value).value_or(Default);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident,
                           const std::string& Value) {
    CheckNoLineBreak(Section, "section");
    CheckNoLineBreak(Ident, "key");
    CheckNoLineBreak(Value, "value");
    if (Section.find(']') != std::string::npos || Trim(Section) != Section)
        throw EIniFileException("Invalid ini section name: " + Section);
    if (Ident.empty() || Ident.find('=') != std::string::npos || Trim(Ident) != Ident ||
        Ident.front() == ';' || Ident.front() == '[')
        throw EIniFileException("Invalid ini key: " + Ident);

    int Index = SectionIndex(Section);
    if (Index < 0)
        Index = AddSection(Section);
    auto& Lines = FSections[static_cast<size_t>(Index)].Lines;
    for (TLine& Line : Lines)
        if (!Line.Ident.empty() && SameText(Line.Ident, Ident)) {
            Line = {Line.Ident + "=" + QuoteIniValue(Value), Line.Ident, Value};
            UpdateFile();
            return;
        }
    // New keys go after the last entry, ahead of the blank lines that part the sections.
    auto At = Lines.end();
    while (At != Lines.begin() && Trim(std::prev(At)->Text).empty())
        --At;
    Lines.insert(At, TLine{Ident + "=" + QuoteIniValue(Value), Ident, Value});
    UpdateFile();
}

int TIniFile::AddSection(const std::string& Name) {
    if (!FSections.empty())
        FSections.back().Lines.push_back({"", "", ""});
    else if (!FPrelude.empty())
        FPrelude.push_back("");
    FSections.push_back({Name, {}});
    return static_cast<int>(FSections.size()) - 1;
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
    WriteString(Section, Ident, std::to_string(Value));
}

void TIniFile::UpdateFile() const {
    std::ostringstream Out;
    for (const std::string& Line : FPrelude)
        Out << Line << '\n';
    for (const TSection& Section : FSections) {
        Out << '[' << Section.Name << "]\n";
        for (const TLine& Line : Section.Lines)
            Out << Line.Text << '\n';
    }
    std::ofstream File(FFileName, std::ios::binary | std::ios::trunc);
    File << Out.str();
    File.flush();
    if (!File)
        throw EIniFileException("Unable to write to " + FFileName);
}

// ---- registry key

namespace {

ERegistryException BadType(const std::string& Name) {
    return ERegistryException("Invalid data type for '" + Name + "'");
}

} // namespace

TRegistry::TValue* TRegistry::Find(const std::string& Name) {
    for (TValue& Value : FValues)
        if (SameText(Value.Name, Name))
            return &Value;
    return nullptr;
}

const TRegistry::TValue* TRegistry::Find(const std::string& Name) const {
    return const_cast<TRegistry*>(this)->Find(Name);
}

TRegistry::TValue& TRegistry::Slot(const std::string& Name) {
    if (TValue* Found = Find(Name))
        return *Found;
    FValues.push_back({Name, std::nullopt, 0});
    return FValues.back();
}

bool TRegistry::ValueExists(const std::string& Name) const {
    return Find(Name) != nullptr;
}

std::string TRegistry::ReadString(const std::string& Name) const {
    const TValue* Found = Find(Name);
    if (Found == nullptr)
        return "";
    if (!Found->Text)
        throw BadType(Name);
    return *Found->Text;
}

int32_t TRegistry::ReadInteger(const std::string& Name) const {
    const TValue* Found = Find(Name);
    if (Found == nullptr || Found->Text)
        throw BadType(Name);
    return Found->Integer;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    TValue& Slotted = Slot(Name);
    Slotted.Text = Value;
    Slotted.Integer = 0;
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
    TValue& Slotted = Slot(Name);
    Slotted.Text.reset();
    Slotted.Integer = Value;
}

void TRegistry::DeleteValue(const std::string& Name) {
    std::erase_if(FValues, [&](const TValue& Value) { return SameText(Value.Name, Name); });
}

std::vector<std::string> TRegistry::GetValueNames() const {
    std::vector<std::string> Names;
    for (const TValue& Value : FValues)
        Names.push_back(Value.Name);
    return Names;
}

// ---- store and load

namespace {

// Where the values go to and come from. An ini read falls back to Current, the setting's
// present value; a registry read has no fallback.
struct TSettingsWriter {
    std::function<void(const char* Key, const std::string& Value)> Text;
    std::function<void(const char* Key, int32_t Value)> Integer;
};
struct TSettingsReader {
    std::function<std::string(const char* Key, const std::string& Current)> Text;
    std::function<int32_t(const char* Key, int32_t Current)> Integer;
};

void StoreBasic(const TCustomComPort& Port, TSettingsWriter& Out) {
    Out.Text("Port", Port.Port());
    Out.Text("BaudRate", BaudRateToText(Port.BaudRate()));
    if (Port.BaudRate() == brCustom)
        Out.Integer("CustomBaudRate", Port.CustomBaudRate());
    Out.Text("StopBits", StopBitsToText(Port.StopBits()));
    Out.Text("DataBits", DataBitsToText(Port.DataBits()));
    Out.Text("Parity", ParityToText(Port.Parity().Bits()));
    Out.Text("FlowControl", FlowControlToText(Port.FlowControl().FlowControl()));
}

void StoreOthers(const TCustomComPort& Port, TSettingsWriter& Out) {
    Out.Text("EventChar", CharToText(Port.EventChar()));
    Out.Text("DiscardNull", YesNoToText(Port.DiscardNull()));
}

void StoreParity(const TComParity& Parity, TSettingsWriter& Out) {
    Out.Text("Parity.Check", YesNoToText(Parity.Check()));
    Out.Text("Parity.Replace", YesNoToText(Parity.Replace()));
    Out.Text("Parity.ReplaceChar", CharToText(Parity.ReplaceChar()));
}

void StoreBuffer(const TComBuffer& Buffer, TSettingsWriter& Out) {
    Out.Integer("Buffer.OutputSize", Buffer.OutputSize());
    Out.Integer("Buffer.InputSize", Buffer.InputSize());
}

void StoreTimeouts(const TComTimeouts& T, TSettingsWriter& Out) {
    Out.Integer("Timeouts.ReadInterval", T.ReadInterval());
    Out.Integer("Timeouts.ReadTotalConstant", T.ReadTotalConstant());
    Out.Integer("Timeouts.ReadTotalMultiplier", T.ReadTotalMultiplier());
    Out.Integer("Timeouts.WriteTotalConstant", T.WriteTotalConstant());
    Out.Integer("Timeouts.WriteTotalMultiplier", T.WriteTotalMultiplier());
}

void StoreFlowControl(const TComFlowControl& F, TSettingsWriter& Out) {
    Out.Text("FlowControl.ControlRTS", ControlRTSToText(F.ControlRTS()));
    Out.Text("FlowControl.ControlDTR", ControlDTRToText(F.ControlDTR()));
    Out.Text("FlowControl.DSRSensitivity", YesNoToText(F.DSRSensitivity()));
    Out.Text("FlowControl.OutCTSFlow", YesNoToText(F.OutCTSFlow()));
    Out.Text("FlowControl.OutDSRFlow", YesNoToText(F.OutDSRFlow()));
    Out.Text("FlowControl.TxContinueOnXoff", YesNoToText(F.TxContinueOnXoff()));
    Out.Text("FlowControl.XonXoffIn", YesNoToText(F.XonXoffIn()));
    Out.Text("FlowControl.XonXoffOut", YesNoToText(F.XonXoffOut()));
    Out.Text("FlowControl.XoffChar", CharToText(F.XoffChar()));
    Out.Text("FlowControl.XonChar", CharToText(F.XonChar()));
}

void StoreGroups(const TCustomComPort& Port, TSettingsWriter& Out) {
    const TStoredGroups Groups = Port.StoredGroups();
    if (Groups.Contains(grBasic))
        StoreBasic(Port, Out);
    if (Groups.Contains(grOthers))
        StoreOthers(Port, Out);
    if (Groups.Contains(grParity))
        StoreParity(Port.Parity(), Out);
    if (Groups.Contains(grBuffer))
        StoreBuffer(Port.Buffer(), Out);
    if (Groups.Contains(grTimeouts))
        StoreTimeouts(Port.Timeouts(), Out);
    if (Groups.Contains(grFlowControl))
        StoreFlowControl(Port.FlowControl(), Out);
}

bool ReadYesNo(TSettingsReader& In, const char* Key, bool Current) {
    return TextToYesNo(In.Text(Key, YesNoToText(Current)));
}

char ReadChar(TSettingsReader& In, const char* Key, char Current) {
    return TextToChar(In.Text(Key, CharToText(Current)));
}

// Keys are read and assigned in their stored order. Switching to brCustom applies the rate held
// so far; when that one is unusable the line stays at the old rate until the stored custom
// rate arrives, so its failure only counts if the stored rate does not apply either.
void LoadBaudRate(TCustomComPort& Port, TSettingsReader& In, TBaudRate Rate) {
    if (Rate != brCustom) {
        Port.SetBaudRate(Rate);
        return;
    }
    std::exception_ptr Stale;
    try {
        Port.SetBaudRate(Rate);
    } catch (const EComPort&) {
        Stale = std::current_exception();
    }
    const int Custom = In.Integer("CustomBaudRate", 9600);
    if (Stale && Custom == Port.CustomBaudRate())
        std::rethrow_exception(Stale);
    Port.SetCustomBaudRate(Custom);
}

void LoadBasic(TCustomComPort& Port, TSettingsReader& In) {
    Port.SetPort(In.Text("Port", Port.Port()));
    const TBaudRate Rate = TextToBaudRate(In.Text("BaudRate", BaudRateToText(Port.BaudRate())));
    LoadBaudRate(Port, In, Rate);
    Port.SetStopBits(TextToStopBits(In.Text("StopBits", StopBitsToText(Port.StopBits()))));
    Port.SetDataBits(TextToDataBits(In.Text("DataBits", DataBitsToText(Port.DataBits()))));
    Port.Parity().SetBits(TextToParity(In.Text("Parity", ParityToText(Port.Parity().Bits()))));
    TComFlowControl& Flow = Port.FlowControl();
    Flow.SetFlowControl(
        TextToFlowControl(In.Text("FlowControl", FlowControlToText(Flow.FlowControl()))));
}

void LoadOthers(TCustomComPort& Port, TSettingsReader& In) {
    Port.SetEventChar(ReadChar(In, "EventChar", Port.EventChar()));
    Port.SetDiscardNull(ReadYesNo(In, "DiscardNull", Port.DiscardNull()));
}

void LoadParity(TComParity& Parity, TSettingsReader& In) {
    Parity.SetCheck(ReadYesNo(In, "Parity.Check", Parity.Check()));
    Parity.SetReplace(ReadYesNo(In, "Parity.Replace", Parity.Replace()));
    Parity.SetReplaceChar(ReadChar(In, "Parity.ReplaceChar", Parity.ReplaceChar()));
}

void LoadBuffer(TComBuffer& Buffer, TSettingsReader& In) {
    Buffer.SetOutputSize(In.Integer("Buffer.OutputSize", Buffer.OutputSize()));
    Buffer.SetInputSize(In.Integer("Buffer.InputSize", Buffer.InputSize()));
}

void LoadTimeouts(TComTimeouts& T, TSettingsReader& In) {
    T.SetReadInterval(In.Integer("Timeouts.ReadInterval", T.ReadInterval()));
    T.SetReadTotalConstant(In.Integer("Timeouts.ReadTotalConstant", T.ReadTotalConstant()));
    T.SetReadTotalMultiplier(In.Integer("Timeouts.ReadTotalMultiplier", T.ReadTotalMultiplier()));
    T.SetWriteTotalConstant(In.Integer("Timeouts.WriteTotalConstant", T.WriteTotalConstant()));
    T.SetWriteTotalMultiplier(
        In.Integer("Timeouts.WriteTotalMultiplier", T.WriteTotalMultiplier()));
}

void LoadFlowControl(TComFlowControl& F, TSettingsReader& In) {
    F.SetControlRTS(
        TextToControlRTS(In.Text("FlowControl.ControlRTS", ControlRTSToText(F.ControlRTS()))));
    F.SetControlDTR(
        TextToControlDTR(In.Text("FlowControl.ControlDTR", ControlDTRToText(F.ControlDTR()))));
    F.SetDSRSensitivity(ReadYesNo(In, "FlowControl.DSRSensitivity", F.DSRSensitivity()));
    F.SetOutCTSFlow(ReadYesNo(In, "FlowControl.OutCTSFlow", F.OutCTSFlow()));
    F.SetOutDSRFlow(ReadYesNo(In, "FlowControl.OutDSRFlow", F.OutDSRFlow()));
    F.SetTxContinueOnXoff(ReadYesNo(In, "FlowControl.TxContinueOnXoff", F.TxContinueOnXoff()));
    F.SetXonXoffIn(ReadYesNo(In, "FlowControl.XonXoffIn", F.XonXoffIn()));
    F.SetXonXoffOut(ReadYesNo(In, "FlowControl.XonXoffOut", F.XonXoffOut()));
    F.SetXoffChar(ReadChar(In, "FlowControl.XoffChar", F.XoffChar()));
    F.SetXonChar(ReadChar(In, "FlowControl.XonChar", F.XonChar()));
}

void LoadGroups(TCustomComPort& Port, TSettingsReader& In) {
    const TStoredGroups Groups = Port.StoredGroups();
    if (Groups.Contains(grBasic))
        LoadBasic(Port, In);
    if (Groups.Contains(grOthers))
        LoadOthers(Port, In);
    if (Groups.Contains(grParity))
        LoadParity(Port.Parity(), In);
    if (Groups.Contains(grBuffer))
        LoadBuffer(Port.Buffer(), In);
    if (Groups.Contains(grTimeouts))
        LoadTimeouts(Port.Timeouts(), In);
    if (Groups.Contains(grFlowControl))
        LoadFlowControl(Port.FlowControl(), In);
}

} // namespace

void StoreToIniFile(const TCustomComPort& Port, TIniFile& IniFile) {
    const std::string Section = Port.Name();
    TSettingsWriter Out{
        [&](const char* Key, const std::string& Value) {
            IniFile.WriteString(Section, Key, Value);
        },
        [&](const char* Key, int32_t Value) { IniFile.WriteInteger(Section, Key, Value); }};
    StoreGroups(Port, Out);
}

void StoreToRegistry(const TCustomComPort& Port, TRegistry& Registry) {
    TSettingsWriter Out{
        [&](const char* Key, const std::string& Value) { Registry.WriteString(Key, Value); },
        [&](const char* Key, int32_t Value) { Registry.WriteInteger(Key, Value); }};
    StoreGroups(Port, Out);
}

void LoadFromIniFile(TCustomComPort& Port, const TIniFile& IniFile) {
    const std::string Section = Port.Name();
    TSettingsReader In{[&](const char* Key, const std::string& Current) {
                           return IniFile.ReadString(Section, Key, Current);
                       },
                       [&](const char* Key, int32_t Current) {
                           return IniFile.ReadInteger(Section, Key, Current);
                       }};
    LoadGroups(Port, In);
}

void LoadFromRegistry(TCustomComPort& Port, const TRegistry& Registry) {
    TSettingsReader In{
        [&](const char* Key, const std::string&) { return Registry.ReadString(Key); },
        [&](const char* Key, int32_t) { return Registry.ReadInteger(Key); }};
    LoadGroups(Port, In);
}

} // namespace cport
