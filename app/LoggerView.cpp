// The View menu of the main window: log viewers of the "Log Data" page, of saved logs and of
// the archive's history.
#include "app/LogLineFeed.h"
#include "app/LogViewer.h"
#include "app/Logger.h"
#include "app/Shell.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

namespace app {

void TForm1::LogChart1Click() {
    logdata::TParsedLog Log;
    Log.IsLog = true;
    Log.Header = Link->HeaderValues();
    for (const std::string& Line : Link->Display().ShownLines())
        if (const auto Record = logdata::ParseLogLine(Line); Record && Record->Index != 0)
            Log.Entries.push_back(*Record);
    auto* Viewer = new TLogViewer(this);
    Viewer->SetLog(std::move(Log), "Log Data page");
    Viewer->Follow(LogFeed, [this] { return Link->HeaderValues(); });
    Viewer->show();
}

void TForm1::OpenSavedLog1Click() {
    const QString Path = OpenNameHook
                             ? OpenNameHook()
                             : QFileDialog::getOpenFileName(this, "Open Saved Log", {},
                                                            "Log files (*);;Text files (*.txt)");
    if (Path.isEmpty())
        return;
    if (TLogViewer* Viewer = TLogViewer::OpenSavedLog(Path, this))
        Viewer->show();
}

void TForm1::CreateHistoryMenu() {
    LoggerHistory1 = View1->addAction("Logger &History...");
    LoggerHistory1->setObjectName("LoggerHistory1");
    connect(LoggerHistory1, &QAction::triggered, this,
            Bound("LoggerHistory1Click", &TForm1::LoggerHistory1Click));
}

} // namespace app
