#include "cli/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace cli {

using klink::Control;

namespace {

// The logger pads its texts with blanks; nobody reading the output wants them.
std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

QString Json(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
}

// A number the window shows with its unit ("12.5 V", "17"); null when there is none yet.
QJsonValue Number(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start)
        return QJsonValue();
    return value;
}

std::string Line(const char* label, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "%-18s", label);
    return head + value + "\n";
}

} // namespace

TInfo GatherInfo(const klink::TLinkHost& host, const klink::TLinkValues& values) {
    TInfo info;
    info.Name = TrimRight(host.Text(Control::KestroName));
    info.SerialNo = TrimRight(host.Text(Control::SerialNo));
    info.SoftwareVersion = TrimRight(host.Text(Control::SoftwareVersion));
    info.LogCapacity = values.LogCapacity;
    info.Material = host.Text(Control::MaterialBox);
    info.Zones = host.Text(Control::ZonesBox);
    info.RefType = host.Text(Control::RefType);
    info.LogInterval = host.Text(Control::LogIntBox);
    info.LogTime = host.Text(Control::LogTime);
    info.Cyclic = host.Checked(Control::CyclicLogCheckBox);
    info.LogCount = host.Text(Control::LogNumber);
    info.KestroTime = host.Text(Control::KestroTime);
    info.PcTime = host.Text(Control::PcTime);
    info.BatteryVolts = host.Text(Control::BatteryVolts);
    const Control texts[] = {Control::Zone1Text, Control::Zone2Text, Control::Zone3Text};
    const Control readings[] = {Control::Edit1, Control::Edit2, Control::Edit3};
    for (std::size_t z = 0; z < 3; ++z) {
        info.ZoneTexts[z] = TrimRight(host.Text(texts[z]));
        info.ZoneReadings[z] = host.Text(readings[z]);
        info.ZoneMillivolts[z] = values.ZoneReadings[z];
    }
    return info;
}

std::string InfoText(const TInfo& info) {
    std::string out;
    out += Line("Name:", info.Name);
    out += Line("Serial number:", info.SerialNo);
    out += Line("Software version:", info.SoftwareVersion);
    out += Line("Log capacity:", std::to_string(info.LogCapacity));
    out += Line("Hull material:", info.Material);
    out += Line("Zones enabled:", info.Zones);
    out += Line("Reference type:", info.RefType);
    out += Line("Log interval:", info.LogInterval);
    out += Line("Total log time:", info.LogTime);
    out += Line("Cyclic logging:", info.Cyclic ? "Enabled" : "Disabled");
    out += Line("Log count:", info.LogCount);
    out += Line("Kestro time:", info.KestroTime);
    out += Line("PC time:", info.PcTime);
    for (std::size_t z = 0; z < 3; ++z) {
        const std::string label = "Zone " + std::to_string(z + 1) + ":";
        out += Line(label.c_str(), info.ZoneReadings[z] + "  " + info.ZoneTexts[z]);
    }
    out += Line("Battery voltage:", info.BatteryVolts);
    return out;
}

std::string InfoJson(const TInfo& info) {
    QJsonArray zones;
    for (std::size_t z = 0; z < 3; ++z)
        zones.append(QJsonObject{{"description", Json(info.ZoneTexts[z])},
                                 {"millivolts", info.ZoneMillivolts[z]}});
    const QJsonObject object{{"name", Json(info.Name)},
                             {"serial", Json(info.SerialNo)},
                             {"version", Json(info.SoftwareVersion)},
                             {"logCapacity", info.LogCapacity},
                             {"material", Json(info.Material)},
                             {"zones", Json(info.Zones)},
                             {"reftype", Json(info.RefType)},
                             {"interval", Json(info.LogInterval)},
                             {"logTime", Json(info.LogTime)},
                             {"cyclic", info.Cyclic},
                             {"logCount", Number(info.LogCount)},
                             {"kestroTime", Json(info.KestroTime)},
                             {"pcTime", Json(info.PcTime)},
                             {"zoneReadings", zones},
                             {"batteryVolts", Number(info.BatteryVolts)}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

std::string ReadingsText(const TInfo& info) {
    std::string out = info.PcTime;
    for (const std::string& reading : info.ZoneReadings)
        out += "  " + reading;
    return out + "  " + info.BatteryVolts + "\n";
}

std::string ReadingsJson(const TInfo& info) {
    QJsonArray millivolts;
    for (int mv : info.ZoneMillivolts)
        millivolts.append(mv);
    const QJsonObject object{{"pcTime", Json(info.PcTime)},
                             {"millivolts", millivolts},
                             {"batteryVolts", Number(info.BatteryVolts)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string ProgressText(int entry, int count, double elapsedSeconds) {
    std::string text = "entry " + std::to_string(entry) + " of " + std::to_string(count);
    if (entry <= 0 || elapsedSeconds <= 0.0)
        return text;
    const double rate = entry / elapsedSeconds;
    char buf[64];
    std::snprintf(buf, sizeof buf, ", %.1f entries/s", rate);
    text += buf;
    if (count > entry) {
        const long left = std::lround((count - entry) / rate);
        std::snprintf(buf, sizeof buf, ", %ld:%02ld left", left / 60, left % 60);
        text += buf;
    }
    return text;
}

} // namespace cli
