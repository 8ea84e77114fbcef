// View > Logger History: the loggers the archive holds, one logger's figures month by month,
// and the log viewer over all its entries across downloads and clears.
#pragma once

#include "archive/Archive.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace app {

class TLogViewer;

class TLoggerHistory : public QDialog {
    Q_OBJECT
public:
    // Reads the list at once; throws archive::EArchive when the archive cannot be read. A
    // missing archive is an empty list with a note, not an error.
    TLoggerHistory(const std::string& ArchivePath, QWidget* Parent);

    // The viewer over the selected logger's whole history; nullptr when none is selected.
    TLogViewer* OpenViewer();

    QTableWidget* LoggerTable = nullptr;
    QTableWidget* MonthTable = nullptr;
    QPushButton* OpenButton = nullptr;
    QLabel* Note = nullptr;

private:
    void CreateControls();
    void FillLoggers();
    // The selected logger's history, read once per selection.
    void SelectLogger();
    void FillMonths();

    std::string FPath;
    bool FExists = false;
    std::vector<archive::TLoggerSummary> FLoggers;
    int64_t FLoadedId = -1;
    logdata::TParsedLog FLog;
};

} // namespace app
