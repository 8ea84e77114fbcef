#include "FakeHost.h"

#include "link/PlainControls.h"
#include "protocol/Commands.h"

namespace klinktest {

TFakeHost::TFakeHost() {
    for (Control c : {Control::KestroName, Control::SerialNo, Control::SoftwareVersion,
                      Control::Zone1Text, Control::Zone2Text, Control::Zone3Text, Control::LogTime,
                      Control::KestroTime, Control::LogNumber, Control::BatteryVolts}) {
        Texts[c] = "?";
    }
    Checks[Control::CyclicLogCheckBox] = true;
    Captions[Control::ReadLogsButton] = "Get Logs - Kestro  ";
}

bool TFakeHost::WriteText(const std::string& framed) {
    if (!WriteFailure.empty()) {
        throw std::runtime_error(WriteFailure);
    }
    Wire.push_back(framed);
    return true;
}

std::string TFakeHost::OpenPort(const std::string& name) {
    Opened.push_back(name);
    if (!OpenError.empty()) {
        return OpenError;
    }
    Connected = true;
    return "";
}

void TFakeHost::DownloadEnded(const klink::TDownloadOutcome& outcome) {
    DownloadEnds.push_back(outcome.End);
    DownloadRecords.push_back(outcome.Records ? outcome.Records->size() : 0);
}

void TFakeHost::StartReplyTimer(int milliseconds) {
    ReplyTimerRunning = true;
    ReplyTimerMs = milliseconds;
    ++ReplyTimerStarts;
}

std::string TFakeHost::Text(Control control) const {
    switch (control) {
    case Control::MaterialBox:
    case Control::ZonesBox:
    case Control::RefType:
    case Control::LogIntBox:
        return ItemText(control);
    default: {
        const auto it = Texts.find(control);
        return it == Texts.end() ? "" : it->second;
    }
    }
}

void TFakeHost::SetText(Control control, const std::string& text) {
    if (ThrowOnSet == control) {
        ThrowOnSet.reset();
        throw std::runtime_error("the shell failed");
    }
    Texts[control] = text;
    TextSets.emplace_back(control, text);
}

int TFakeHost::ItemIndex(Control control) const {
    const auto it = Items.find(control);
    return it == Items.end() ? -1 : it->second;
}

bool TFakeHost::Checked(Control control) const {
    const auto it = Checks.find(control);
    return it != Checks.end() && it->second;
}

void TFakeHost::SetCaption(Control control, const std::string& caption) {
    Captions[control] = caption;
}

int TFakeHost::AskClearConfirmation() {
    ++ClearAsked;
    if (DuringModal) {
        DuringModal();
    }
    return ClearAnswer;
}

std::optional<std::string> TFakeHost::AskSaveFileName() {
    ++SaveAsked;
    if (DuringModal) {
        DuringModal();
    }
    return SaveName;
}

std::string TFakeHost::ItemText(Control control) const {
    return klink::TPlainControls::ItemText(control, ItemIndex(control));
}

} // namespace klinktest
