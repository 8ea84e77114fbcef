// Puts a decoded reply into the controls and the shared values; log entries go elsewhere.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/Transmitter.h"
#include "protocol/Decode.h"

#include <optional>
#include <set>
#include <string>

namespace klink {

// The logger sends nothing but hex digits in a payload; anything else is line noise.
bool PayloadIsHex(const std::string& packet);

// The command that an edit's own change handler sends for a new text, if it has one; the echo
// of a text taken from the logger goes through the same mapping.
std::optional<protocol::Command> TextChangeCommand(Control control, const std::string& text);

class TReplyApplier {
public:
    TReplyApplier(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                  const protocol::DateFormats& formats);

    // Every reply but a log entry. A text or the cyclic flag that changed is sent back to the
    // logger, as its change handler would, once the reply has been handled; but within the
    // late-reply guard of a time-out, a stray or a late reply it may answer another question,
    // so it waits for a whole poll cycle read undisturbed (SendEchoes).
    void Apply(int32_t awaited, const protocol::Reply& reply);
    // A poll cycle has been read without a time-out, stray or late reply: the values it read
    // are sure, and those that changed go back to the logger.
    void SendEchoes();

private:
    void ApplyLogCount(const protocol::LogCountReply& reply);
    void ApplyText(int32_t awaited, const std::string& text);
    void ApplyClock(const protocol::ClockReply& reply);
    void ApplySettings(const protocol::SettingsReply& reply);
    void ApplyCyclic(bool cyclic);
    void ApplyReadings(const protocol::Readings& readings);
    void ApplyVersion(const protocol::SoftwareVersion& version);
    // Sets the edit only when its text really differs; true when it did.
    bool SetChangedText(Control control, const std::string& decoded);
    // Sends a changed control back now, or after the next undisturbed cycle, when the host
    // echoes at all.
    void Echo(Control control);
    void SendEcho(Control control);

    TLinkHost& Host;
    TLinkValues& Vals;
    TTransmitter& Trans;
    const protocol::DateFormats& Formats;
    std::set<Control> Echoes; // controls changed by a value read, not yet sent back
};

} // namespace klink
