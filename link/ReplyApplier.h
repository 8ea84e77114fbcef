// Puts a decoded reply into the controls and the shared values; log entries go elsewhere.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/Transmitter.h"
#include "protocol/Decode.h"

#include <optional>
#include <string>

namespace klink {

// The logger sends nothing but hex digits in a payload; anything else is line noise.
bool PayloadIsHex(const std::string& packet);

// The command that an edit's own change handler sends for a new text, if it has one; the echo
// of a text taken from the logger goes through the same mapping.
std::optional<protocol::Command> TextChangeCommand(Control control, const std::string& text);

// How long the line must have been undisturbed before a value read is sent back: one whole
// poll cycle, so that no reply of an earlier question can still be taken for a later one.
inline constexpr int64_t EchoAfterQuietMs = 5000;

class TReplyApplier {
public:
    TReplyApplier(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                  const protocol::DateFormats& formats);

    // Every reply but a log entry. Changing a text or the cyclic box runs its change handler,
    // so the new value is sent back to the logger once the reply has been handled.
    void Apply(int32_t awaited, const protocol::Reply& reply);

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
    // Whether a value just read may go back to the logger: the host wants it, and the line has
    // not been disturbed lately, so the value surely answers its own question.
    bool MayEcho() const;

    TLinkHost& Host;
    TLinkValues& Vals;
    TTransmitter& Trans;
    const protocol::DateFormats& Formats;
};

} // namespace klink
