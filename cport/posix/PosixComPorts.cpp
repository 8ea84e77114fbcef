// This PC's serial ports as libudev, /sys and /proc tell them; the rules are in ComPortRules.
#include "cport/ComPortList.h"
#include "cport/ComPortRules.h"
#include "cport/ComPortWatch.h"
#include "cport/posix/PosixPortName.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <libudev.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace cport {

namespace {

std::string ReadWholeFile(const std::string& Path) {
    std::ifstream In(Path);
    std::stringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

std::string RealPath(const std::string& Path) {
    std::unique_ptr<char, decltype(&std::free)> Real(realpath(Path.c_str(), nullptr), &std::free);
    return Real ? std::string(Real.get()) : std::string();
}

// Entry names of a directory, without "." and "..".
std::vector<std::string> DirectoryEntries(const std::string& Path) {
    std::vector<std::string> Names;
    struct TCloseDir {
        void operator()(DIR* Dir) const { closedir(Dir); }
    };
    std::unique_ptr<DIR, TCloseDir> Dir(opendir(Path.c_str()));
    if (!Dir)
        return Names;
    while (const dirent* Entry = readdir(Dir.get()))
        if (std::string Name = Entry->d_name; Name != "." && Name != "..")
            Names.push_back(Name);
    return Names;
}

// The name under /dev/serial/by-id that leads to Node; the links are the ground truth, with
// or without a running udev daemon.
std::string ByIdName(const std::string& Node) {
    const std::string Dir = "/dev/serial/by-id/";
    for (const std::string& Name : DirectoryEntries(Dir))
        if (RealPath(Dir + Name) == Node)
            return Name;
    return {};
}

std::string Property(udev_device* Device, const char* Key) {
    const char* Value = udev_device_get_property_value(Device, Key);
    return Value ? Value : "";
}

std::string Attribute(udev_device* Device, const char* Key) {
    const char* Value = Device ? udev_device_get_sysattr_value(Device, Key) : nullptr;
    return Value ? Value : "";
}

// udev's database names first; the USB device's own strings when no daemon filled it in.
std::string Described(udev_device* Tty, udev_device* Usb, const char* Encoded, const char* Plain,
                      const char* UsbAttribute) {
    for (const char* Key : {Encoded, Plain})
        if (std::string Value = DecodeUdevText(Property(Tty, Key)); !Value.empty())
            return Value;
    return DecodeUdevText(Attribute(Usb, UsbAttribute));
}

std::optional<TSerialDevice> SerialDevice(udev_device* Tty) {
    // Virtual consoles, ptys and the like have no device behind them.
    if (!udev_device_get_parent(Tty))
        return std::nullopt;
    TSerialDevice Device;
    Device.Name = udev_device_get_sysname(Tty);
    const char* Node = udev_device_get_devnode(Tty);
    Device.Path = Node ? Node : "/dev/" + Device.Name;
    Device.ById = ByIdName(Device.Path);
    udev_device* Usb = udev_device_get_parent_with_subsystem_devtype(Tty, "usb", "usb_device");
    const std::string Type = Attribute(Tty, "type");
    if (!Usb && Device.ById.empty()) {
        // Only the serial core's own ports are UARTs; a type of 0 is a placeholder.
        if (Type.empty())
            return std::nullopt;
        Device.BuiltIn = true;
        Device.HasHardware = std::atoi(Type.c_str()) != 0;
        return Device;
    }
    Device.Vendor = Described(Tty, Usb, "ID_VENDOR_ENC", "ID_VENDOR", "manufacturer");
    Device.Model = Described(Tty, Usb, "ID_MODEL_ENC", "ID_MODEL", "product");
    Device.Serial = Property(Tty, "ID_SERIAL_SHORT");
    if (Device.Serial.empty())
        Device.Serial = Attribute(Usb, "serial");
    return Device;
}

std::vector<TSerialDevice> SystemSerialDevices() {
    std::vector<TSerialDevice> Devices;
    std::unique_ptr<udev, decltype(&udev_unref)> Udev(udev_new(), &udev_unref);
    if (!Udev)
        return Devices;
    std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)> Enumerate(
        udev_enumerate_new(Udev.get()), &udev_enumerate_unref);
    if (!Enumerate || udev_enumerate_add_match_subsystem(Enumerate.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(Enumerate.get()) < 0)
        return Devices;
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_enumerate_get_list_entry(Enumerate.get())) {
        std::unique_ptr<udev_device, decltype(&udev_device_unref)> Tty(
            udev_device_new_from_syspath(Udev.get(), udev_list_entry_get_name(Entry)),
            &udev_device_unref);
        if (Tty)
            if (auto Device = SerialDevice(Tty.get()))
                Devices.push_back(std::move(*Device));
    }
    return Devices;
}

std::set<std::string> SystemConsoles() {
    return ConsoleNames(ReadWholeFile("/proc/consoles"),
                        ReadWholeFile("/sys/class/tty/console/active"));
}

// Adapters come and go as nodes in /dev and links in /dev/serial/by-id; built-in UARTs and
// the consoles stay as the PC started.
TSerialPortCache& SystemPorts() {
    static TSerialPortCache Cache(
        [] {
            return DirectoryStamp({"/dev", "/dev/serial", "/dev/serial/by-id"});
        },
        [] { return OrderSerialPorts(SystemSerialDevices(), SystemConsoles()); },
        [] {
            timespec Now{};
            clock_gettime(CLOCK_REALTIME, &Now);
            return static_cast<int64_t>(Now.tv_sec) * 1000000000 + Now.tv_nsec;
        });
    return Cache;
}

std::optional<std::string> ComVariable(int Number) {
    const std::string& Prefix = ComPortNaming().VariablePrefix;
    if (Prefix.empty())
        return std::nullopt;
    if (const char* Value = std::getenv((Prefix + std::to_string(Number)).c_str()))
        return std::string(Value);
    return std::nullopt;
}

// The first process with Path open, as "ModemManager (pid 812)"; "" when none can be seen
// (another user's processes are hidden from an ordinary user).
std::string DeviceHolder(const std::string& Path) {
    const std::string Target = RealPath(Path);
    if (Target.empty())
        return {};
    for (const std::string& Pid : DirectoryEntries("/proc")) {
        if (Pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string FdDir = "/proc/" + Pid + "/fd/";
        for (const std::string& Fd : DirectoryEntries(FdDir)) {
            char Link[4096];
            const ssize_t N = readlink((FdDir + Fd).c_str(), Link, sizeof Link - 1);
            if (N <= 0 || std::string(Link, static_cast<size_t>(N)) != Target)
                continue;
            std::string Command = ReadWholeFile("/proc/" + Pid + "/comm");
            while (!Command.empty() && (Command.back() == '\n' || Command.back() == ' '))
                Command.pop_back();
            return HolderText(Command, std::atoi(Pid.c_str()));
        }
    }
    return {};
}

} // namespace

std::vector<TComPortInfo> ListComPorts(int Count) {
    // Only what no variable names is looked for on the system.
    bool Unset = false;
    for (int Number = 1; Number <= Count && !Unset; ++Number)
        Unset = !ComVariable(Number);
    std::vector<TSerialDevice> Ordered;
    if (Unset)
        Ordered = SystemPorts().Devices();
    return NumberComPorts(Ordered, ComVariable, Count);
}

std::string ComPortDevicePath(const std::string& Port) {
    return PortDevicePath(Port);
}

std::string ComPortVariable(const std::string& Port) {
    const int Number = ComNumber(Port);
    if (Number <= 0 || !ComVariable(Number))
        return {};
    return ComPortNaming().VariablePrefix + std::to_string(Number);
}

std::string ExplainOpenFailure(const std::string& Port, int SystemCode) {
    TOpenFailure Failure;
    Failure.Port = Port;
    Failure.Path = PortDevicePath(Port);
    Failure.SystemCode = SystemCode;
    Failure.Variable = ComPortVariable(Port);
    if (SystemCode == EBUSY)
        Failure.Holder = DeviceHolder(Failure.Path);
    return OpenFailureAdvice(Failure);
}

std::vector<int64_t> DirectoryStamp(const std::vector<std::string>& Directories) {
    std::vector<int64_t> Stamp;
    for (const std::string& Directory : Directories) {
        struct stat St;
        if (stat(Directory.c_str(), &St) != 0) {
            Stamp.push_back(-1);
            continue;
        }
        Stamp.push_back(static_cast<int64_t>(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec);
    }
    return Stamp;
}

std::optional<TDeviceIdentity> DeviceIdentity(const std::string& Path) {
    struct stat St;
    if (Path.empty() || stat(Path.c_str(), &St) != 0)
        return std::nullopt;
    return TDeviceIdentity{static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino),
                           static_cast<uint64_t>(St.st_rdev),
                           static_cast<int64_t>(St.st_ctim.tv_sec) * 1000000000 +
                               St.st_ctim.tv_nsec};
}

} // namespace cport
