// Tells open log viewers about every line the "Log Data" page gains or loses, as it happens.
#pragma once

#include <QByteArray>
#include <QObject>

namespace app {

class TLogLineFeed : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The line as the log file holds it, one byte per character.
    void Added(const QByteArray& Line) { emit LineAdded(Line); }
    void Cleared() { emit DisplayCleared(); }

signals:
    void LineAdded(const QByteArray& Line);
    void DisplayCleared();
};

} // namespace app
