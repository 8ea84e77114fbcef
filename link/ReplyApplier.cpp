#include "link/ReplyApplier.h"

#include "protocol/Commands.h"
#include "protocol/Convert.h"
#include "protocol/Framing.h"
#include "protocol/ReplyView.h"

#include <array>
#include <type_traits>
#include <variant>

namespace klink {

bool PayloadIsHex(const std::string& packet) {
    if (packet.size() < protocol::PayloadLength) {
        return false;
    }
    for (std::size_t i = 0; i < protocol::PayloadLength; ++i) {
        if (protocol::HexDigitValue(packet[i]) == 0 && packet[i] != '0') {
            return false;
        }
    }
    return true;
}

std::optional<protocol::Command> TextChangeCommand(Control control, const std::string& text) {
    switch (control) {
    case Control::KestroName:
        return protocol::NameCommand(text);
    case Control::SerialNo:
        return protocol::SerialNoCommand(text);
    case Control::Zone1Text:
        return protocol::ZoneTextCommand(1, text);
    case Control::Zone2Text:
        return protocol::ZoneTextCommand(2, text);
    case Control::Zone3Text:
        return protocol::ZoneTextCommand(3, text);
    default:
        return std::nullopt;
    }
}

TReplyApplier::TReplyApplier(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                             const protocol::DateFormats& formats)
    : Host(host), Vals(values), Trans(transmitter), Formats(formats) {}

void TReplyApplier::Apply(int32_t awaited, const protocol::Reply& reply) {
    std::visit(
        [&](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, protocol::LogCountReply>) {
                ApplyLogCount(r);
            } else if constexpr (std::is_same_v<T, protocol::TextReply>) {
                ApplyText(awaited, r.Text);
            } else if constexpr (std::is_same_v<T, protocol::ClockReply>) {
                ApplyClock(r);
            } else if constexpr (std::is_same_v<T, protocol::SettingsReply>) {
                ApplySettings(r);
            } else if constexpr (std::is_same_v<T, protocol::Readings>) {
                ApplyReadings(r);
            } else if constexpr (std::is_same_v<T, protocol::SoftwareVersion>) {
                ApplyVersion(r);
            }
        },
        reply);
}

void TReplyApplier::ApplyLogCount(const protocol::LogCountReply& reply) {
    Vals.LogCount = reply.Count;
    Host.SetText(Control::LogNumber, protocol::LogCountText(reply.Count));
}

void TReplyApplier::ApplyText(int32_t awaited, const std::string& text) {
    Control control;
    switch (awaited) {
    case protocol::ReplyName:
        control = Control::KestroName;
        break;
    case protocol::ReplySerialNumber:
        control = Control::SerialNo;
        break;
    case protocol::ReplyZone1Text:
        control = Control::Zone1Text;
        break;
    case protocol::ReplyZone1Text + 1:
        control = Control::Zone2Text;
        break;
    case protocol::ReplyZone1Text + 2:
        control = Control::Zone3Text;
        break;
    default:
        return;
    }
    if (SetChangedText(control, text)) {
        Echo(control);
    }
}

void TReplyApplier::Echo(Control control) {
    if (!Host.EchoesReadValues()) {
        return;
    }
    if (!Trans.UndisturbedFor(LateReplyGuardMs)) {
        Echoes.insert(control);
        return;
    }
    Echoes.erase(control);
    SendEcho(control);
}

void TReplyApplier::SendEcho(Control control) {
    // The control holds what was read last, which may differ from what first changed it.
    if (control == Control::CyclicLogCheckBox) {
        Trans.Submit(protocol::CyclicLogCommand(Host.Checked(control)));
    } else if (const auto echo = TextChangeCommand(control, Host.Text(control))) {
        Trans.Submit(*echo);
    }
}

void TReplyApplier::SendEchoes() {
    for (const Control control : Echoes) {
        SendEcho(control);
    }
    Echoes.clear();
}

bool TReplyApplier::SetChangedText(Control control, const std::string& decoded) {
    // An edit keeps no NUL, so the decoded text counts only up to its first one.
    const std::string shown = protocol::TextUpToNul(decoded);
    if (Host.Text(control) == shown) {
        return false;
    }
    Host.SetText(control, shown);
    return true;
}

void TReplyApplier::ApplyClock(const protocol::ClockReply& reply) {
    if (reply.IsAfterEpoch()) {
        Host.SetText(Control::KestroTime, protocol::ClockText(reply, Formats));
    }
}

void TReplyApplier::ApplySettings(const protocol::SettingsReply& reply) {
    if (reply.MaterialItem) {
        Host.SetItemIndex(Control::MaterialBox, *reply.MaterialItem);
    }
    if (reply.ZonesItem) {
        Host.SetItemIndex(Control::ZonesBox, *reply.ZonesItem);
        Vals.ZonesDigit = protocol::ZonesDigitForItem(*reply.ZonesItem);
    }
    if (reply.LogInterval) {
        Vals.LogInterval = *reply.LogInterval;
    }
    if (reply.LogIntervalItem) {
        Host.SetItemIndex(Control::LogIntBox, *reply.LogIntervalItem);
    }
    if (reply.LogDaysTenths) {
        Vals.LogDaysTenths = *reply.LogDaysTenths;
        Host.SetText(Control::LogTime, protocol::DaysText(*reply.LogDaysTenths));
        Host.SetEnabled(Control::LogTime, false);
    }
    ApplyCyclic(reply.Cyclic);
    if (reply.RefTypeItem) {
        Host.SetItemIndex(Control::RefType, *reply.RefTypeItem);
    }
}

void TReplyApplier::ApplyCyclic(bool cyclic) {
    if (cyclic == Host.Checked(Control::CyclicLogCheckBox)) {
        return;
    }
    Host.SetChecked(Control::CyclicLogCheckBox, cyclic);
    Echo(Control::CyclicLogCheckBox);
}

void TReplyApplier::ApplyReadings(const protocol::Readings& readings) {
    static constexpr std::array<Control, 3> Edits = {Control::Edit1, Control::Edit2,
                                                     Control::Edit3};
    for (std::size_t i = 0; i < Edits.size(); ++i) {
        Vals.ZoneReadings[i] = readings.Zones[i];
        Host.SetColour(Edits[i], Colour::Window);
        Host.SetText(Edits[i], protocol::ZoneReadingText(readings.Zones[i]));
    }
    Host.SetText(Control::BatteryVolts, protocol::BatteryVoltsText(readings.BatteryVolts));
    Host.ReadingsApplied();
}

void TReplyApplier::ApplyVersion(const protocol::SoftwareVersion& version) {
    SetChangedText(Control::SoftwareVersion, version.Text);
    Vals.LogCapacity = version.LogCapacity;
}

} // namespace klink
