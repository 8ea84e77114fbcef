// Writing a port's settings as named text and integer values, and reading them back, through
// an ini-file section or an opened registry key.
#pragma once

#include "cport/ComPort.h"
#include "cport/ComTypes.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cport {

class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An ini file on disk: [Section] headers and Key=Value lines. Names compare without regard to
// ASCII case; every write goes straight to the file and keeps the rest of it as it was.
class TIniFile {
public:
    // Reads the file when it exists; a missing file is an empty one.
    explicit TIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }
    bool ValueExists(const std::string& Section, const std::string& Ident) const;
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) const;
    // Text that is not a decimal 32-bit number reads as Default.
    int32_t ReadInteger(const std::string& Section, const std::string& Ident,
                        int32_t Default) const;
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);

private:
    struct TLine {
        std::string Text;  // the line as it stands in the file
        std::string Ident; // empty for headers, comments and blank lines
        std::string Value;
    };
    struct TSection {
        std::string Name;
        std::vector<TLine> Lines;
    };
    void Parse(const std::string& Content);
    int SectionIndex(const std::string& Name) const;
    int AddSection(const std::string& Name);
    const TLine* FindLine(const std::string& Section, const std::string& Ident) const;
    void UpdateFile() const;

    std::string FFileName;
    std::vector<std::string> FPrelude; // lines ahead of the first section
    std::vector<TSection> FSections;
};

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An opened registry key, held in memory: named values, each either text or a 32-bit
// integer. Names compare without regard to ASCII case.
class TRegistry {
public:
    bool ValueExists(const std::string& Name) const;
    // A missing value reads as empty text; an integer value cannot be read as text.
    std::string ReadString(const std::string& Name) const;
    // A missing or text value raises ERegistryException.
    int32_t ReadInteger(const std::string& Name) const;
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int32_t Value);
    void DeleteValue(const std::string& Name);
    std::vector<std::string> GetValueNames() const;

private:
    struct TValue {
        std::string Name;
        std::optional<std::string> Text;
        int32_t Integer = 0;
    };
    TValue* Find(const std::string& Name);
    const TValue* Find(const std::string& Name) const;
    TValue& Slot(const std::string& Name);

    std::vector<TValue> FValues; // in the order first written
};

// The text forms of the stored settings. Reading ignores ASCII case; text that matches
// nothing gives the fallback of each setting.
std::string BaudRateToText(TBaudRate Value);
TBaudRate TextToBaudRate(const std::string& Text);
std::string StopBitsToText(TStopBits Value);
TStopBits TextToStopBits(const std::string& Text);
std::string DataBitsToText(TDataBits Value);
TDataBits TextToDataBits(const std::string& Text);
std::string ParityToText(TParityBits Value);
TParityBits TextToParity(const std::string& Text);
std::string FlowControlToText(TFlowControl Value);
TFlowControl TextToFlowControl(const std::string& Text);
std::string ControlRTSToText(TRTSFlowControl Value);
TRTSFlowControl TextToControlRTS(const std::string& Text);
std::string ControlDTRToText(TDTRFlowControl Value);
TDTRFlowControl TextToControlDTR(const std::string& Text);
std::string YesNoToText(bool Value);
bool TextToYesNo(const std::string& Text);
// Codes 33 to 127 stand for themselves, every other code is "#" and its decimal value.
std::string CharToText(char Value);
char TextToChar(const std::string& Text);

// Store the groups chosen by the port's StoredGroups; an ini store uses the port's Name as
// its section. Loading assigns each value through its setter, so an open port is
// reconfigured value by value; a key missing from the ini section leaves its setting alone.
void StoreToIniFile(const TCustomComPort& Port, TIniFile& IniFile);
void StoreToRegistry(const TCustomComPort& Port, TRegistry& Registry);
void LoadFromIniFile(TCustomComPort& Port, const TIniFile& IniFile);
void LoadFromRegistry(TCustomComPort& Port, const TRegistry& Registry);

} // namespace cport
