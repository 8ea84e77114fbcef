// The port selector's view of this PC's serial ports, and the reopening of a port whose
// device has come back.
#include "app/Logger.h"

#include "cport/ComPortList.h"
#include "line/KestroLine.h"

#include <QComboBox>
#include <QTimer>

namespace app {

// A cheap look once a second: the list follows plugging and unplugging, and a replugged
// logger is back within the poll cycle that finds it.
void TForm1::CreatePortWatch() {
    PortWatchTimer = new QTimer(this);
    PortWatchTimer->setInterval(1000);
    connect(PortWatchTimer, &QTimer::timeout, this, [this] {
        if (!FShutDown)
            Run([this] { WatchComPorts(); });
    });
    PortWatchTimer->start();
    WatchComPorts();
}

void TForm1::WatchComPorts() {
    for (const cport::TComPortInfo& Info : cport::ListComPorts(ComPortBox->count())) {
        const QString Tip = QString::fromStdString(Info.Description);
        if (ComPortBox->itemData(Info.Number - 1, Qt::ToolTipRole).toString() != Tip)
            ComPortBox->setItemData(Info.Number - 1, Tip, Qt::ToolTipRole);
    }
    const std::string Port = Line->PortName();
    const auto Device = cport::DeviceIdentity(cport::ComPortDevicePath(Port));
    if (PortWatch.ShouldReopen(Line->Connected(), Port, Device))
        Dispatch("ComPortBoxChange", &TForm1::ComPortBoxChange);
}

} // namespace app
