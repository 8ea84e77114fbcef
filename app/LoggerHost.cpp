// What the link with the logger asks of the window: the port, the controls and the dialogs.
#include "app/Logger.h"

#include "app/LayoutKit.h"
#include "app/LogLineFeed.h"
#include "app/Shell.h"
#include "app/YesNo.h"

#include "line/KestroLine.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace app {

namespace {

// Sets a control without running the link's change handler: the link echoes its own values.
class TApplying {
public:
    explicit TApplying(bool& Flag) : FFlag(Flag), FWas(Flag) { FFlag = true; }
    ~TApplying() { FFlag = FWas; }
    TApplying(const TApplying&) = delete;
    TApplying& operator=(const TApplying&) = delete;

private:
    bool& FFlag;
    bool FWas;
};

} // namespace

QWidget* TForm1::ControlWidget(klink::Control Which) const {
    using klink::Control;
    switch (Which) {
    case Control::KestroName:
        return KestroName;
    case Control::SerialNo:
        return SerialNo;
    case Control::SoftwareVersion:
        return SoftwareVersion;
    case Control::Zone1Text:
        return Zone1Text;
    case Control::Zone2Text:
        return Zone2Text;
    case Control::Zone3Text:
        return Zone3Text;
    case Control::MaterialBox:
        return MaterialBox;
    case Control::ZonesBox:
        return ZonesBox;
    case Control::RefType:
        return RefType;
    case Control::LogIntBox:
        return LogIntBox;
    case Control::CyclicLogCheckBox:
        return CyclicLogCheckBox;
    case Control::LogTime:
        return LogTime;
    case Control::KestroTime:
        return KestroTime;
    case Control::LogNumber:
        return LogNumber;
    case Control::BatteryVolts:
        return BatteryVolts;
    case Control::PcTime:
        return PcTime;
    case Control::Edit1:
        return Edit1;
    case Control::Edit2:
        return Edit2;
    case Control::Edit3:
        return Edit3;
    case Control::Status:
        return Status;
    case Control::DataWin:
        return DataWin;
    case Control::ReadLogsButton:
        return ReadLogsButton;
    case Control::SaveLogs:
        return SaveLogs;
    case Control::SaveAsMenu:
        return nullptr;
    }
    return nullptr;
}

void TForm1::StartReplyTimer(int Milliseconds) {
    if (!FShutDown)
        ReplyTimer->start(Milliseconds);
}

void TForm1::StopReplyTimer() {
    ReplyTimer->stop();
}

std::string TForm1::Text(klink::Control Control) const {
    QWidget* W = ControlWidget(Control);
    if (auto* Edit = qobject_cast<QLineEdit*>(W))
        return ToStd(Edit->text());
    if (auto* Box = qobject_cast<QComboBox*>(W))
        return Box->currentIndex() < 0 ? std::string() : ToStd(Box->currentText());
    if (auto* Memo = qobject_cast<QPlainTextEdit*>(W))
        return ToStd(Memo->toPlainText());
    if (auto* Button = qobject_cast<QAbstractButton*>(W))
        return ToStd(Button->text());
    return {};
}

void TForm1::SetText(klink::Control Control, const std::string& Text) {
    const QString Value = FromStd(Text);
    QWidget* W = ControlWidget(Control);
    TApplying Applying(FApplying);
    if (auto* Edit = qobject_cast<QLineEdit*>(W)) {
        if (Edit->text() != Value) {
            Edit->setText(Value);
            // Show the start of a text longer than the box, as the user would read it.
            Edit->setCursorPosition(0);
        }
    } else if (auto* Memo = qobject_cast<QPlainTextEdit*>(W)) {
        Memo->setPlainText(Value);
    }
}

int TForm1::ItemIndex(klink::Control Control) const {
    auto* Box = qobject_cast<QComboBox*>(ControlWidget(Control));
    return Box ? Box->currentIndex() : -1;
}

void TForm1::SetItemIndex(klink::Control Control, int Index) {
    if (auto* Box = qobject_cast<QComboBox*>(ControlWidget(Control)))
        Box->setCurrentIndex(Index);
}

bool TForm1::Checked(klink::Control Control) const {
    auto* Box = qobject_cast<QAbstractButton*>(ControlWidget(Control));
    return Box && Box->isChecked();
}

void TForm1::SetChecked(klink::Control Control, bool Checked) {
    TApplying Applying(FApplying);
    if (auto* Box = qobject_cast<QAbstractButton*>(ControlWidget(Control)))
        Box->setChecked(Checked);
}

void TForm1::SetEnabled(klink::Control Control, bool Enabled) {
    if (Control == klink::Control::SaveAsMenu)
        SaveAs->setEnabled(Enabled);
    else if (QWidget* W = ControlWidget(Control))
        W->setEnabled(Enabled);
}

void TForm1::SetColour(klink::Control Control, klink::Colour Colour) {
    QWidget* W = ControlWidget(Control);
    if (!W)
        return;
    QPalette Palette = W->palette();
    QColor Background = QPalette().color(QPalette::Base);
    if (Colour == klink::Colour::Red)
        Background = QColor(255, 0, 0);
    else if (Colour == klink::Colour::Lime)
        Background = QColor(0, 255, 0);
    if (Palette.color(QPalette::Active, QPalette::Base) == Background)
        return;
    // Also the disabled group: the zone read-outs are disabled edits.
    for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        Palette.setColor(Group, QPalette::Base, Background);
    W->setPalette(Palette);
}

void TForm1::SetCaption(klink::Control Control, const std::string& Caption) {
    if (auto* Button = qobject_cast<QAbstractButton*>(ControlWidget(Control))) {
        Button->setText(FromStd(Caption));
        FitCaption(Button);
    }
}

void TForm1::AppendTraffic(const std::string& Line) {
    RxDat->appendPlainText(FromStd(Line));
}

void TForm1::AppendLogLine(const std::string& Line) {
    LogDataMemo->appendPlainText(FromStd(Line));
    LogFeed->Added(QByteArray::fromStdString(Line));
}

void TForm1::ClearLogDisplay() {
    LogDataMemo->clear();
    LogFeed->Cleared();
}

void TForm1::ShowError(const std::string& Message) {
    ShowErrorBox(FromSystemText(Message));
}

void TForm1::ShowMessage(const std::string& Message) {
    ShowMessageBox(FromSystemText(Message));
}

int TForm1::AskClearConfirmation() {
    if (ConfirmHook)
        return ConfirmHook();
    return RUSureForm ? RUSureForm->ShowModal() : mrCancel;
}

std::optional<std::string> TForm1::AskSaveFileName() {
    if (SaveNameHook)
        return SaveNameHook();
    // No default extension and no question before an existing file is replaced.
    QFileDialog Dialog(this);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // "*.*" would hide the files Get Logs saved without an extension on this system.
    Dialog.setNameFilters({"Text files (*.txt)", "All files (*)"});
    Dialog.selectNameFilter("Text files (*.txt)");
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToFileName(Dialog.selectedFiles().first());
}

} // namespace app
