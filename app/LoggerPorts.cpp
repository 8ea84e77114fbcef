// The port selector's view of this PC's serial ports, and the reopening of a port whose
// device has come back.
#include "app/Logger.h"

#include "cport/ComPortList.h"
#include "cport/ComPortRules.h"
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
    const std::vector<cport::TComPortInfo> Ports = cport::ListComPorts(ComPortBox->count());
    for (const cport::TComPortInfo& Info : Ports) {
        const QString Tip = QString::fromStdString(Info.Description);
        if (ComPortBox->itemData(Info.Number - 1, Qt::ToolTipRole).toString() != Tip)
            ComPortBox->setItemData(Info.Number - 1, Tip, Qt::ToolTipRole);
    }
    // The open port's device comes from the list just made, not from a second look.
    const std::string Port = Line->PortName();
    const int Number = cport::ComNumber(Port);
    const bool Listed = Number >= 1 && Number <= static_cast<int>(Ports.size());
    const auto Device = cport::DeviceIdentity(
        Listed ? Ports[static_cast<std::size_t>(Number - 1)].Path : cport::ComPortDevicePath(Port));
    if (PortWatch.ShouldReopen(Line->Connected(), Port, Device))
        Dispatch("ComPortBoxChange", &TForm1::ComPortBoxChange);
}

} // namespace app
