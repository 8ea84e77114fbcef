// When a closed port should be opened again by itself: a device has appeared behind its COM
// number that was not there, or not the same one, when the port was last looked at.
#pragma once

#include "cport/ComPortRules.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cport {

// A device node as the file system tells it apart: a node made anew (an adapter plugged in
// again, a new pseudo-terminal) differs even where its number is reused.
struct TDeviceIdentity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    uint64_t Rdev = 0;
    int64_t ChangedNs = 0;
    bool operator==(const TDeviceIdentity&) const = default;
};

// The identity of the device at Path now, following links; nothing when there is none.
std::optional<TDeviceIdentity> DeviceIdentity(const std::string& Path);

// Change times of the directories where device nodes come and go (-1 for one that is
// missing), as nanoseconds since 1970; equal stamps mean nothing was added or removed there.
std::vector<int64_t> DirectoryStamp(const std::vector<std::string>& Directories);

// The PC's serial ports, listed again only when the directories they live in may have
// changed: listing walks the whole device tree, a stamp is a few stat calls. Safe to use from
// any thread.
class TSerialPortCache {
public:
    using TStamp = std::function<std::vector<int64_t>()>;
    using TLister = std::function<std::vector<TSerialDevice>()>;
    using TNow = std::function<int64_t()>; // nanoseconds since 1970
    TSerialPortCache(TStamp Stamp, TLister Lister, TNow Now);

    std::vector<TSerialDevice> Devices();
    // How many times the lister has run (tests count them).
    int Listings() const;

private:
    bool MayHaveChangedLocked(const std::vector<int64_t>& Stamp, int64_t Now) const;

    TStamp FStamp;
    TLister FLister;
    TNow FNow;
    mutable std::mutex FMutex;
    std::optional<std::vector<int64_t>> FKnownStamp;
    std::vector<TSerialDevice> FDevices;
    int FListings = 0;
};

class TComPortWatch {
public:
    // Told on every look at the ports: whether the port is open, which port it is, and the
    // identity of the device behind it now (nothing when there is none). True when the port
    // should be reopened now, as choosing it in the port selector would.
    bool ShouldReopen(bool PortOpen, const std::string& Port,
                      const std::optional<TDeviceIdentity>& Now);

private:
    std::string FPort;
    bool FSeen = false;
    bool FWasOpen = false;
    // The device last seen behind FPort; nothing when there was none.
    std::optional<TDeviceIdentity> FKnown;
};

} // namespace cport
