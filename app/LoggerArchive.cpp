// The main window and the archive: each complete Get Logs is kept, and View > Logger History.
#include "app/LogViewer.h"
#include "app/Logger.h"
#include "app/LoggerHistory.h"
#include "app/Shell.h"

#include "archive/Archive.h"

namespace app {

void TForm1::DownloadEnded(const klink::TDownloadOutcome& Outcome) {
    // A log that ended short still brought genuine entries.
    if ((Outcome.End != klink::TDownloadEnd::Complete &&
         Outcome.End != klink::TDownloadEnd::EndedShort) ||
        !Outcome.Records)
        return;
    // The log file is closed by now; an archive that fails leaves it as written.
    try {
        archive::ArchiveDownload(archive::DefaultArchivePath(), Link->HeaderValues(),
                                 *Outcome.Records, Outcome.FileName, PcNow());
    } catch (const archive::EArchive& E) {
        ShowErrorBox(FromSystemText(E.what()) + "\n\nThe log file " +
                     FromSystemText(Outcome.FileName) + " has been written.");
    }
}

void TForm1::LoggerHistory1Click() {
    auto* History = new TLoggerHistory(archive::DefaultArchivePath(), this);
    History->show();
}

} // namespace app
