// Opening a saved log, and the viewer's exports.
#include "app/LogChart.h"
#include "app/LogViewer.h"
#include "app/Shell.h"

#include "logdata/LogCsv.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

namespace app {

TLogViewer* TLogViewer::OpenSavedLog(const QString& Path, QWidget* Parent) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        ShowErrorBox(QStringLiteral("Cannot open %1: %2").arg(Path, File.errorString()));
        return nullptr;
    }
    const QByteArray Bytes = File.readAll();
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
