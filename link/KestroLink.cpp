#include "link/KestroLink.h"

#include "logdata/LogSave.h"
#include "protocol/Decode.h"
#include "protocol/Framing.h"

#include <array>
#include <variant>

namespace klink {

std::optional<std::string> PortNameForItem(int itemIndex) {
    if (itemIndex < 0 || itemIndex > 9) {
        return std::nullopt;
    }
    return "COM" + std::to_string(itemIndex + 1);
}

TKestroLink::TKestroLink(TLinkHost& host)
    : Host(host), Trans(host, Vals), Poller(host, Vals, Trans, Formats),
      Applier(host, Vals, Trans, Formats),
      Download(host, Vals, Trans, LogDisplay, LogFile, Formats) {}

void TKestroLink::SetDateFormats(const protocol::DateFormats& formats) {
    Formats = formats;
}

bool TKestroLink::FormCreate(const std::string& port) {
    if (Closed) {
        return false;
    }
    for (Control box :
         {Control::LogIntBox, Control::ZonesBox, Control::MaterialBox, Control::RefType}) {
        Host.SetItemIndex(box, 0);
    }
    Vals.LogCapacity = StartLogCapacity;
    Host.ClosePort();
    CurrentPort = port;
    if (!OpenPortShowingError(CurrentPort)) {
        return false;
    }
    Vals.LinkState = StateSearching;
    return true;
}

void TKestroLink::FormClose() {
    if (Closed) {
        return;
    }
    Download.Finish();
    Trans.Reset();
    Closed = true;
}

void TKestroLink::Tick250() {
    if (!Closed) {
        Poller.Tick250(Download.Running(), Download.Requesting());
    }
}

void TKestroLink::Timer2Timer() {
    if (!Closed) {
        Download.Timer2Timer();
    }
}

void TKestroLink::ReplyTimeout() {
    if (Closed) {
        return;
    }
    if (Trans.Awaiting()) {
        Poller.QuestionLost();
    }
    Trans.TimeOut();
}

void TKestroLink::LineActivity() {
    if (!Closed) {
        Trans.LineActivity();
    }
}

void TKestroLink::ComDataPacket1Packet(const std::string& str) {
    if (Closed) {
        return;
    }
    Host.SetText(Control::DataWin, str);
    if (!protocol::IsFrameAccepted(str)) {
        return;
    }
    // A reply names no command: one that comes with no question open belongs to an earlier
    // command and would be read as the wrong thing.
    if (!Trans.Awaiting()) {
        Trans.StrayReply();
        return;
    }
    // Taking a noisy payload would show a corrupted value, and through the change handlers
    // write it back into the logger.
    if (protocol::ReplyCarriesData(Vals.AwaitedReply) && !PayloadIsHex(str)) {
        return;
    }
    // A late answer to an earlier question, not the one awaited: its own answer still comes.
    if (!protocol::ReplyFitsLayout(Vals.AwaitedReply, str)) {
        Trans.StrayReply();
        return;
    }
    const std::optional<protocol::Reply> reply =
        protocol::DecodeReply(Vals.AwaitedReply, str, {Vals.LogIndex, Vals.LogCapacity});
    // A reply that does not decode is treated like one that was badly framed.
    if (!reply) {
        return;
    }
    Trans.AddRxDat(protocol::RxPacketText(str));
    // Commands caused by this reply (echoes, the queue) go out once it has been handled.
    {
        TTransmitter::THold hold(Trans);
        HandleReply(*reply);
    }
    Download.ReplyHandled();
    Poller.ReplyHandled(Download.Running());
}

void TKestroLink::HandleReply(const protocol::Reply& reply) {
    const bool found = Vals.LinkState == StateSearching;
    const bool clearing = Vals.LinkState == StateClearingLogs;
    Poller.ReplyNotification();
    const bool nowFound = found && Vals.LinkState != StateSearching;
    if (const auto* record = std::get_if<protocol::LogRecord>(&reply)) {
        Download.RecordDecoded(*record);
    } else {
        Applier.Apply(Vals.AwaitedReply, reply);
    }
    if (Poller.ReplyApplied()) {
        Applier.SendEchoes();
    }
    if (clearing && Vals.LinkState != StateClearingLogs) {
        Host.ClearFinished();
    }
    Vals.AwaitedReply = protocol::ReplyNone;
    Trans.ReplyAccepted();
    // Searching may have left several of the same question out; their answers must not meet
    // the cycle's other questions.
    if (nowFound) {
        Trans.SettleIfLateAnswerPossible();
    }
}

void TKestroLink::ReadAllLogsClick() {
    if (Closed) {
        return;
    }
    if (Download.Running()) {
        Download.Abort();
        return;
    }
    StartDownload();
}

void TKestroLink::StartDownload() {
    const std::optional<std::string> name = Host.AskSaveFileName();
    if (Closed || !name || Download.Running()) {
        return;
    }
    try {
        logdata::WriteLogHeader(LogFile, *name, HeaderValues());
    } catch (const logdata::EInOutError& e) {
        logdata::CloseQuietly(LogFile);
        Host.ShowError(e.what());
        return;
    }
    Download.Start();
}

void TKestroLink::ClearKestroClick() {
    if (Closed || Download.Running()) {
        return;
    }
    const int answer = Host.AskClearConfirmation();
    // The dialog's loop may have run the link meanwhile; LinkAlive is read after it.
    if (Closed || answer != mrYes || !Vals.LinkAlive) {
        return;
    }
    Send(protocol::ClearCommand(), [this] { Vals.LinkState = StateClearingLogs; });
}

void TKestroLink::SaveAsClick() {
    // Save is locked during a download: it would re-target the file being written.
    if (Closed || Download.Running()) {
        return;
    }
    const std::optional<std::string> name = Host.AskSaveFileName();
    if (Closed || !name || Download.Running()) {
        return;
    }
    try {
        logdata::SaveLogFile(LogFile, *name, HeaderValues(), LogDisplay);
    } catch (const logdata::EInOutError& e) {
        Host.ShowError(e.what());
    }
}

void TKestroLink::ClrScreenButtonClick() {
    if (Closed) {
        return;
    }
    LogDisplay.Clear();
    Host.ClearLogDisplay();
}

logdata::THeaderValues TKestroLink::HeaderValues() const {
    logdata::THeaderValues v;
    v.KestroName = Host.Text(Control::KestroName);
    v.SerialNo = Host.Text(Control::SerialNo);
    v.SoftwareVersion = Host.Text(Control::SoftwareVersion);
    v.Zone1Text = Host.Text(Control::Zone1Text);
    v.Zone2Text = Host.Text(Control::Zone2Text);
    v.Zone3Text = Host.Text(Control::Zone3Text);
    v.LogInterval = Host.Text(Control::LogIntBox);
    v.Material = Host.Text(Control::MaterialBox);
    v.RefType = Host.Text(Control::RefType);
    v.Zones = Host.Text(Control::ZonesBox);
    v.CyclicLogging = Host.Checked(Control::CyclicLogCheckBox);
    v.LogCount = Host.Text(Control::LogNumber);
    v.KestroTime = Host.Text(Control::KestroTime);
    v.PcTime = logdata::PcTimeText(Host.PcNow(), Formats);
    v.BatteryVolts = Host.Text(Control::BatteryVolts);
    return v;
}

void TKestroLink::ComPortBoxChange(int itemIndex) {
    if (Closed) {
        return;
    }
    Host.ClosePort();
    if (const auto name = PortNameForItem(itemIndex)) {
        CurrentPort = *name;
    }
    OpenPortShowingError(CurrentPort);
}

void TKestroLink::ConnectClick() {
    if (Closed || Host.PortConnected()) {
        return;
    }
    if (OpenPortShowingError(CurrentPort)) {
        Vals.PollDelay = 0;
    }
}

void TKestroLink::DisconnectClick() {
    if (Closed || !Host.PortConnected()) {
        return;
    }
    Host.ClosePort();
    Vals.LinkAlive = false;
    Vals.ReplyCountdown = 0;
}

bool TKestroLink::OpenPortShowingError(const std::string& name) {
    const std::string error = Host.OpenPort(name);
    if (!error.empty()) {
        Host.ShowError(error);
        return false;
    }
    Trans.PortOpened();
    return true;
}

} // namespace klink
