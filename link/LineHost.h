// The host's port operations, handed straight to the shell's line object, which both shells
// hold (a class with Connected, Write, PurgeInput, Close, CloseLater and Open).
#pragma once

#include "link/LinkHost.h"

#include <string>

namespace klink {

template <class TLine, class THostBase = TLinkHost> class TLineHost : public THostBase {
public:
    bool PortConnected() const override { return HostLine().Connected(); }
    bool WriteText(const std::string& framed) override { return HostLine().Write(framed); }
    void PurgeInput() override { HostLine().PurgeInput(); }
    void ClosePort() override { HostLine().Close(); }
    void ClosePortLater() override { HostLine().CloseLater(); }
    std::string OpenPort(const std::string& name) override { return HostLine().Open(name); }

protected:
    virtual TLine& HostLine() const = 0;
};

} // namespace klink
