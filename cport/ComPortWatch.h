// When a closed port should be opened again by itself: a device has appeared behind its COM
// number that was not there, or not the same one, when the port was last looked at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
