// The setting controls' change handlers and the other buttons that send one command.
#include "link/KestroLink.h"

#include "protocol/Commands.h"

namespace klink {

void TKestroLink::Send(const std::optional<protocol::Command>& command,
                       TTransmitter::TAfterSend afterSend) {
    if (!Closed && command) {
        Trans.Submit(*command, std::move(afterSend));
    }
}

void TKestroLink::MaterialBoxChange(int itemIndex) {
    Send(protocol::MaterialCommand(itemIndex),
         [this, itemIndex] { Vals.MaterialDigit = static_cast<char>('0' + itemIndex); });
}

void TKestroLink::ZonesBoxChange(int itemIndex) {
    if (Closed) {
        return;
    }
    Vals.ZonesDigit = protocol::ZonesDigitForItem(itemIndex);
    Send(protocol::ZonesCommand(Vals.ZonesDigit));
}

void TKestroLink::RefTypeChange(int itemIndex) {
    Send(protocol::RefTypeCommand(itemIndex));
}

void TKestroLink::LogIntBoxChange(int itemIndex) {
    const std::optional<int32_t> minutes = protocol::LogIntervalForItem(itemIndex);
    Send(protocol::LogIntervalCommand(itemIndex), [this, minutes] {
        if (minutes) {
            Vals.LogInterval = *minutes;
        }
    });
}

void TKestroLink::CyclicLogCheckBoxClick(bool checked) {
    Send(protocol::CyclicLogCommand(checked));
}

void TKestroLink::KestroNameChange(const std::string& text) {
    Send(TextChangeCommand(Control::KestroName, text));
}

void TKestroLink::SerialNoChange(const std::string& text) {
    Send(TextChangeCommand(Control::SerialNo, text));
}

void TKestroLink::Zone1TextChange(const std::string& text) {
    Send(TextChangeCommand(Control::Zone1Text, text));
}

void TKestroLink::Zone2TextChange(const std::string& text) {
    Send(TextChangeCommand(Control::Zone2Text, text));
}

void TKestroLink::Zone3TextChange(const std::string& text) {
    Send(TextChangeCommand(Control::Zone3Text, text));
}

void TKestroLink::SetDigTimeClick() {
    if (Closed) {
        return;
    }
    const std::optional<protocol::Command> command = protocol::SetTimeCommandFromText(Vals.SenTime);
    if (!command) {
        // The strict conversion's own wording.
        Host.ShowError("'" + Vals.SenTime + "' is not a valid integer value");
        return;
    }
    // The next poll reads the clock back.
    Send(command, [this] { Vals.PollStep = 3; });
}

void TKestroLink::CalibrationClick(int button) {
    Send(protocol::CalibrationCommand(button));
}

void TKestroLink::RdLogHeaderClick() {
    Send(protocol::LogCountCommand());
}

void TKestroLink::GetLog1Click() {
    Send(protocol::LogRequestCommand(1));
}

void TKestroLink::Button1Click() {
    Send(protocol::LogRequestCommand(2));
}

void TKestroLink::Button2Click() {
    Send(protocol::LogRequestCommand(3));
}

void TKestroLink::RestartPollCycle() {
    if (!Closed) {
        Poller.RestartCycle();
    }
}

void TKestroLink::RdSetupButtonClick() {
    Send(protocol::ReadSettingsCommand());
}

void TKestroLink::ReadIdClick() {
    Send(protocol::ReadNameCommand());
}

void TKestroLink::ReadTimeClick() {
    Send(protocol::ReadClockCommand());
}

void TKestroLink::ReadSerialClick() {
    Send(protocol::ReadSerialCommand());
}

void TKestroLink::ReadSwVerClick() {
    Send(protocol::ReadSoftwareVersionCommand());
}

void TKestroLink::GetCurrentClick() {
    Send(protocol::ReadReadingsCommand());
}

void TKestroLink::TakeReadingClick() {
    Send(protocol::ReadReadingsCommand());
}

void TKestroLink::ReadLogNumber(int32_t index) {
    // Renumbering in the middle of a download would file its entries under wrong numbers.
    if (Download.Running()) {
        return;
    }
    Send(protocol::LogRequestCommand(index), [this, index] { Vals.LogIndex = index; });
}

void TKestroLink::RdLog1Click() {
    ReadLogNumber(1);
}

void TKestroLink::RdLog2Click() {
    ReadLogNumber(2);
}

void TKestroLink::RdLog3Click() {
    ReadLogNumber(3);
}

void TKestroLink::SetTextTimeClick() {
    Send(protocol::SetTextTimeCommand(Vals.SenTime));
}

} // namespace klink
