// The entries of a log as a table: number, time stamp, each zone's lowest and highest reading.
#pragma once

#include "protocol/LogRecord.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace app {

class TLogEntryModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The model reads the viewer's entries in place; Reset after they were replaced.
    void Reset(const std::vector<protocol::LogRecord>* Entries);
    // Zones 1 to 3 as the headings name them.
    void SetZoneNames(const QStringList& Names);
    // The last entry of the vector was just appended.
    void Appended();

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

private:
    const std::vector<protocol::LogRecord>* FEntries = nullptr;
    int FRows = 0;
    QStringList FZoneNames{"Zone 1", "Zone 2", "Zone 3"};
};

// The program's own time stamp text, "14/08/26 05:20" (the date alone at midnight).
QString TimeStampText(int64_t Minutes);

} // namespace app
