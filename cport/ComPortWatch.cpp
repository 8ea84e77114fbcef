#include "cport/ComPortWatch.h"

#include <algorithm>

namespace cport {

namespace {

// A change time counts in clock ticks of a few milliseconds, so a node made within the tick
// of the last look leaves the stamp as it was; and udev names a new node only after it has
// appeared. Until a directory has been still for this long, every look lists again.
constexpr int64_t SettleNs = 2'000'000'000;

} // namespace

TSerialPortCache::TSerialPortCache(TStamp Stamp, TLister Lister, TNow Now)
    : FStamp(std::move(Stamp)), FLister(std::move(Lister)), FNow(std::move(Now)) {}

bool TSerialPortCache::MayHaveChangedLocked(const std::vector<int64_t>& Stamp, int64_t Now) const {
    if (!FKnownStamp || *FKnownStamp != Stamp)
        return true;
    const int64_t Latest = Stamp.empty() ? -1 : *std::max_element(Stamp.begin(), Stamp.end());
    return Latest >= 0 && Now - Latest < SettleNs;
}

std::vector<TSerialDevice> TSerialPortCache::Devices() {
    std::lock_guard Lock(FMutex);
    const std::vector<int64_t> Stamp = FStamp();
    if (MayHaveChangedLocked(Stamp, FNow())) {
        FDevices = FLister();
        FKnownStamp = Stamp;
        ++FListings;
    }
    return FDevices;
}

int TSerialPortCache::Listings() const {
    std::lock_guard Lock(FMutex);
    return FListings;
}

// A device that refused to open (busy, no permission) stays known, so it is not tried again
// and again; only one that goes and comes back, or is replaced, is.
bool TComPortWatch::ShouldReopen(bool PortOpen, const std::string& Port,
                                 const std::optional<TDeviceIdentity>& Now) {
    const bool FirstLook = !FSeen || Port != FPort;
    const bool JustOpened = PortOpen && !FWasOpen;
    FSeen = true;
    FPort = Port;
    FWasOpen = PortOpen;
    if (FirstLook || JustOpened) {
        FKnown = Now;
        return false;
    }
    if (Now == FKnown)
        return false;
    // The device the open port holds has gone or been replaced: whatever comes is new.
    if (PortOpen) {
        FKnown.reset();
        return false;
    }
    FKnown = Now;
    return Now.has_value();
}

} // namespace cport
