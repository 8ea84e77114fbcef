#include "cport/ComPortRules.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sstream>

namespace cport {

namespace {

// "ttyS10" after "ttyS9": the trailing number counts as a number.
bool NaturalLess(const std::string& A, const std::string& B) {
    auto Split = [](const std::string& S) {
        size_t I = S.size();
        while (I > 0 && std::isdigit(static_cast<unsigned char>(S[I - 1])))
            --I;
        const std::string Digits = S.substr(I);
        return std::make_pair(S.substr(0, I),
                              Digits.empty() || Digits.size() > 9 ? -1L : std::stol(Digits));
    };
    return Split(A) < Split(B);
}

bool IsConsole(const TSerialDevice& Device, const std::set<std::string>& Consoles) {
    return Consoles.count(Device.Name) > 0;
}

std::string Trim(const std::string& Text) {
    const size_t First = Text.find_first_not_of(' ');
    if (First == std::string::npos)
        return {};
    return Text.substr(First, Text.find_last_not_of(' ') - First + 1);
}

} // namespace

std::vector<TSerialDevice> OrderSerialPorts(std::vector<TSerialDevice> Devices,
                                            const std::set<std::string>& Consoles) {
    std::vector<TSerialDevice> BuiltIns, Adapters;
    for (TSerialDevice& Device : Devices) {
        if (IsConsole(Device, Consoles))
            continue;
        if (Device.BuiltIn && Device.ById.empty()) {
            if (Device.HasHardware)
                BuiltIns.push_back(std::move(Device));
        } else {
            Adapters.push_back(std::move(Device));
        }
    }
    std::sort(BuiltIns.begin(), BuiltIns.end(),
              [](const auto& A, const auto& B) { return NaturalLess(A.Name, B.Name); });
    // Listed under by-id first, by that name; anything else after them by its own name.
    std::sort(Adapters.begin(), Adapters.end(), [](const auto& A, const auto& B) {
        if (A.ById.empty() != B.ById.empty())
            return B.ById.empty();
        if (A.ById != B.ById)
            return A.ById < B.ById;
        return NaturalLess(A.Name, B.Name);
    });
    BuiltIns.insert(BuiltIns.end(), std::make_move_iterator(Adapters.begin()),
                    std::make_move_iterator(Adapters.end()));
    return BuiltIns;
}

namespace {
TComPortNaming& Naming() {
    static TComPortNaming Instance;
    return Instance;
}
} // namespace

void SetComPortNaming(TComPortNaming NewNaming) {
    Naming() = std::move(NewNaming);
}

const TComPortNaming& ComPortNaming() {
    return Naming();
}

std::vector<TComPortInfo> NumberComPorts(const std::vector<TSerialDevice>& Ordered,
                                         const TComVariable& Variable, int Count) {
    std::vector<TComPortInfo> Ports;
    for (int Number = 1; Number <= Count; ++Number) {
        TComPortInfo Info;
        Info.Number = Number;
        Info.Name = "COM" + std::to_string(Number);
        if (const auto Set = Variable ? Variable(Number) : std::nullopt) {
            Info.Path = *Set;
            Info.Description = Set->empty() ? "No serial port"
                                            : *Set + " (" + ComPortNaming().VariablePrefix +
                                                  std::to_string(Number) + ")";
        } else if (static_cast<size_t>(Number) <= Ordered.size()) {
            Info.Path = Ordered[static_cast<size_t>(Number) - 1].Path;
            Info.Description = DescribeSerialDevice(Ordered[static_cast<size_t>(Number) - 1]);
        } else {
            Info.Description = "No serial port";
        }
        Ports.push_back(std::move(Info));
    }
    return Ports;
}

std::string DescribeSerialDevice(const TSerialDevice& Device) {
    if (Device.BuiltIn && Device.ById.empty())
        return Device.Path + ": built-in serial port";
    std::string What = Trim(Trim(Device.Vendor) + " " + Trim(Device.Model));
    if (What.empty())
        What = "USB serial adapter";
    if (!Trim(Device.Serial).empty())
        What += ", serial " + Trim(Device.Serial);
    return Device.Path + ": " + What;
}

std::set<std::string> ConsoleNames(const std::string& ProcConsoles, const std::string& Active) {
    std::set<std::string> Names;
    std::istringstream Lines(ProcConsoles);
    for (std::string Line; std::getline(Lines, Line);) {
        std::istringstream Words(Line);
        if (std::string Name; Words >> Name)
            Names.insert(Name);
    }
    std::istringstream Words(Active);
    for (std::string Name; Words >> Name;)
        Names.insert(Name);
    return Names;
}

std::string DecodeUdevText(const std::string& Encoded) {
    std::string Text;
    for (size_t I = 0; I < Encoded.size(); ++I) {
        if (Encoded[I] == '\\' && I + 3 < Encoded.size() && Encoded[I + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(Encoded[I + 2])) &&
            std::isxdigit(static_cast<unsigned char>(Encoded[I + 3]))) {
            Text += static_cast<char>(std::stoi(Encoded.substr(I + 2, 2), nullptr, 16));
            I += 3;
        } else {
            Text += Encoded[I] == '_' ? ' ' : Encoded[I];
        }
    }
    // Collapse the runs of blanks that fixed-width device strings carry.
    std::string Words;
    std::istringstream In(Text);
    for (std::string Word; In >> Word;)
        Words += (Words.empty() ? "" : " ") + Word;
    return Words;
}

std::string OpenFailureAdvice(const TOpenFailure& F) {
    const std::string Device = F.Path.empty() ? F.Port : F.Path;
    switch (F.SystemCode) {
    case EACCES:
    case EPERM:
        return "Permission denied on " + Device +
               ": add your user to the group dialout (sudo adduser $USER dialout), then log "
               "out and in again.";
    case EBUSY:
        if (!F.Holder.empty())
            return Device + " is in use by " + F.Holder + "; close that program and choose " +
                   F.Port + " again.";
        return Device + " is in use by another program; close it and choose " + F.Port + " again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        if (!F.Variable.empty() && F.Path.empty())
            return F.Variable + " is set but empty, which leaves " + F.Port +
                   " without a device: set it to the logger's device, or unset it.";
        if (!F.Variable.empty())
            return "There is no device " + F.Path + " on this PC now (" + F.Variable +
                   " names it).";
        if (ComNumber(F.Port) > 0)
            return "This PC has no " + F.Port +
                   " now: plug in the logger's USB serial adapter, or choose another COM port.";
        return "There is no device " + Device + " on this PC now.";
    default:
        return {};
    }
}

std::string HolderText(const std::string& Command, int Pid) {
    const auto& Known = ComPortNaming().KnownHolders;
    const auto Found = Known.find(Command);
    const std::string& Name = Found == Known.end() ? Command : Found->second;
    return Name + " (pid " + std::to_string(Pid) + ")";
}

int ComNumber(const std::string& Port) {
    if (Port.size() < 4)
        return 0;
    for (size_t I = 0; I < 3; ++I)
        if (std::toupper(static_cast<unsigned char>(Port[I])) != "COM"[I])
            return 0;
    long Number = 0;
    for (size_t I = 3; I < Port.size(); ++I) {
        if (!std::isdigit(static_cast<unsigned char>(Port[I])))
            return 0;
        Number = Number * 10 + (Port[I] - '0');
        if (Number > 1000000)
            return 0;
    }
    return static_cast<int>(Number);
}

} // namespace cport
