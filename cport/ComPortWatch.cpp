#include "cport/ComPortWatch.h"

namespace cport {

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
