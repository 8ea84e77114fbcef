#include "app/LogEntryModel.h"

namespace app {

QString TimeStampText(int64_t Minutes) {
    return QString::fromLatin1(
        protocol::DateTimeToStr(protocol::DateTimeFromMinutes(Minutes), protocol::DateFormats{}));
}

void TLogEntryModel::Reset(const std::vector<protocol::LogRecord>* Entries) {
    beginResetModel();
    FEntries = Entries;
    FRows = Entries ? static_cast<int>(Entries->size()) : 0;
    endResetModel();
}

void TLogEntryModel::SetZoneNames(const QStringList& Names) {
    FZoneNames = Names;
    while (FZoneNames.size() < 3)
        FZoneNames << QStringLiteral("Zone %1").arg(FZoneNames.size() + 1);
    emit headerDataChanged(Qt::Horizontal, 2, 7);
}

void TLogEntryModel::Appended() {
    if (!FEntries || static_cast<int>(FEntries->size()) <= FRows)
        return;
    const int Rows = static_cast<int>(FEntries->size());
    beginInsertRows({}, FRows, Rows - 1);
    FRows = Rows;
    endInsertRows();
}

int TLogEntryModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : FRows;
}

int TLogEntryModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : 8;
}

QVariant TLogEntryModel::data(const QModelIndex& Index, int Role) const {
    if (!FEntries || !Index.isValid() || Index.row() >= FRows)
        return {};
    const protocol::LogRecord& E = (*FEntries)[static_cast<std::size_t>(Index.row())];
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Index.column() == 1 ? Qt::AlignLeft | Qt::AlignVCenter
                                                       : Qt::AlignRight | Qt::AlignVCenter);
    if (Role != Qt::DisplayRole)
        return {};
    if (Index.column() == 0)
        return E.Index;
    if (Index.column() == 1)
        return TimeStampText(E.Minutes);
    return E.Values[static_cast<std::size_t>(Index.column() - 2)];
}

QVariant TLogEntryModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Role != Qt::DisplayRole || Orientation != Qt::Horizontal || Section < 0 || Section > 7)
        return QAbstractTableModel::headerData(Section, Orientation, Role);
    if (Section == 0)
        return QStringLiteral("#");
    if (Section == 1)
        return QStringLiteral("Time Stamp");
    return QStringLiteral("%1 %2 (mV)")
        .arg(FZoneNames[(Section - 2) / 2], Section % 2 == 0 ? "Min" : "Max");
}

} // namespace app
