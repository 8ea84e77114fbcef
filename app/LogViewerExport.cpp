// Opening a saved log, and the viewer's exports.
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "app/Shell.h"

#include "logdata/LogCsv.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QImage>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>

namespace app {

TLogViewer* TLogViewer::OpenSavedLog(const QString& Path, QWidget* Parent) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        ShowErrorBox(QStringLiteral("Cannot open %1: %2").arg(Path, File.errorString()));
        return nullptr;
    }
    // The largest logger's log is a few hundred kilobytes; a file far beyond that is no log,
    // and reading it whole would hold the window up and take its size in memory. A device or
    // pipe tells no size, so the read itself stops there too.
    auto TooLarge = [&] {
        ShowErrorBox(QStringLiteral("%1 is not opened: it is larger than %2 MB, far larger than "
                                    "any log this program writes.")
                         .arg(QFileInfo(Path).fileName())
                         .arg(MaxLogFileBytes / (1024 * 1024)));
        return nullptr;
    };
    if (File.size() > MaxLogFileBytes)
        return TooLarge();
    const QByteArray Bytes = File.read(MaxLogFileBytes + 1);
    if (Bytes.size() > MaxLogFileBytes)
        return TooLarge();
    logdata::TParsedLog Log =
        logdata::ParseLogText(std::string_view(Bytes.constData(), Bytes.size()));
    if (!Log.IsLog) {
        ShowErrorBox(QStringLiteral("%1 is not a log file written by this program: %2.")
                         .arg(QFileInfo(Path).fileName(), QString::fromLatin1(Log.NotLogReason)));
        return nullptr;
    }
    auto* Viewer = new TLogViewer(Parent);
    Viewer->SetLog(std::move(Log), QFileInfo(Path).fileName());
    return Viewer;
}

namespace {
// Writes through a temporary file that replaces the target only when everything was written.
bool WriteWhole(const QString& Path, const std::function<bool(QIODevice&)>& Write) {
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly) || !Write(File) || !File.commit()) {
        ShowErrorBox(QStringLiteral("Cannot write %1: %2").arg(Path, File.errorString()));
        return false;
    }
    return true;
}
} // namespace

bool TLogViewer::ExportCsv(const QString& Path) {
    logdata::TCsvOptions Options;
    Options.Band = Band();
    const std::string Text = logdata::LogCsvText(FLog, Options);
    return WriteWhole(Path, [&](QIODevice& File) {
        return File.write(Text.data(), static_cast<qint64>(Text.size())) ==
               static_cast<qint64>(Text.size());
    });
}

bool TLogViewer::ExportPng(const QString& Path) {
    const QImage Picture = Chart->Picture();
    return WriteWhole(Path, [&](QIODevice& File) { return Picture.save(&File, "PNG"); });
}

bool TLogViewer::ExportPdf(const QString& Path) {
    const QString Title = windowTitle();
    return WriteWhole(Path, [&](QIODevice& File) { return Chart->WritePdf(&File, Title); });
}

bool TLogViewer::WriteSurveyReport(const QString& Path, const TSurveyDetails& Details) {
    return WriteWhole(Path, [&](QIODevice& File) {
        QPdfWriter Writer(&File);
        Writer.setTitle("Hull protection survey - " + FSource);
        Writer.setCreator(QStringLiteral("Quorva"));
        Writer.setResolution(300);
        return DrawSurveyReport(Writer, Details);
    });
}

bool TLogViewer::AskDetails(TSurveyDetails& Details) {
    if (DetailsHook)
        return DetailsHook(Details);
    QDialog Dialog(this);
    Dialog.setWindowTitle("Survey Report");
    auto* Form = new QFormLayout(&Dialog);
    auto* Vessel = new QLineEdit(Details.Vessel, &Dialog);
    auto* Notes = new QPlainTextEdit(Details.Notes, &Dialog);
    Notes->setTabChangesFocus(true);
    Form->addRow("&Vessel:", Vessel);
    Form->addRow("&Notes:", Notes);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &Dialog);
    Form->addRow(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, &Dialog, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, &Dialog, &QDialog::reject);
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    Details.Vessel = Vessel->text().trimmed();
    Details.Notes = Notes->toPlainText().trimmed();
    return true;
}

void TLogViewer::ReportClick() {
    TSurveyDetails Details = FDetails;
    if (!AskDetails(Details))
        return;
    FDetails = Details;
    const QString Name = AskExportName("Save Survey Report", ".pdf");
    if (!Name.isEmpty())
        WriteSurveyReport(Name, Details);
}

void TLogViewer::PrintClick() {
    TSurveyDetails Details = FDetails;
    if (!AskDetails(Details))
        return;
    FDetails = Details;
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setDocName("Hull protection survey - " + FSource);
    Printer.setPageSize(QPageSize(PaperOf(QLocale())));
    if (PrintHook ? !PrintHook(Printer) : QPrintDialog(&Printer, this).exec() != QDialog::Accepted)
        return;
    if (!DrawSurveyReport(Printer, Details))
        ShowErrorBox("The survey report could not be printed.");
}

QString TLogViewer::AskExportName(const QString& Caption, const QString& Suffix) {
    const QString Suggested = QFileInfo(FSource).completeBaseName() + Suffix;
    QString Name = SaveNameHook ? SaveNameHook(Caption, Suggested)
                                : QFileDialog::getSaveFileName(this, Caption, Suggested,
                                                               "*" + Suffix + ";;All files (*)");
    if (!Name.isEmpty() && QFileInfo(Name).suffix().isEmpty())
        Name += Suffix;
    return Name;
}

void TLogViewer::ExportClick(const QString& Caption, const QString& Suffix,
                             bool (TLogViewer::*Export)(const QString&)) {
    const QString Name = AskExportName(Caption, Suffix);
    if (!Name.isEmpty())
        (this->*Export)(Name);
}

} // namespace app
