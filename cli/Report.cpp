#include "cli/Report.h"

#include "cli/SetRequest.h"

#include "cport/ComPortRules.h"
#include "logdata/LogCsv.h"
#include "protocol/Commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cli {

using klink::Control;

namespace {

// The logger pads its texts with blanks; nobody reading the output wants them. A control
// character in one would break the line it is printed on, so it shows as a blank, as in the
// log file.
std::string PrintableText(std::string text) {
    text = logdata::BlankControlCharacters(std::move(text));
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

QJsonValue Token(const std::string& token) {
    return token.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(token));
}

template <class T> QJsonValue Optional(const std::optional<T>& value) {
    return value ? QJsonValue(static_cast<double>(*value)) : QJsonValue();
}

QJsonValue PcTimeJson(const TInfo& info) {
    return QString::fromStdString(IsoPcTime(info.PcNow, info.PcUtcOffsetMinutes));
}

std::string Line(const char* label, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "%-18s", label);
    return head + value + "\n";
}

} // namespace

TInfo GatherInfo(const klink::TLinkHost& host, const klink::TLinkValues& values) {
    TInfo info;
    info.Name = PrintableText(host.Text(Control::KestroName));
    info.SerialNo = PrintableText(host.Text(Control::SerialNo));
    info.SoftwareVersion = PrintableText(host.Text(Control::SoftwareVersion));
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
        info.ZoneTexts[z] = PrintableText(host.Text(texts[z]));
        info.ZoneReadings[z] = host.Text(readings[z]);
        info.ZoneMillivolts[z] = values.ZoneReadings[z];
    }
    const int material = host.ItemIndex(Control::MaterialBox);
    if (material > 0)
        info.MaterialToken = SettingToken(info.Material);
    const int refType = host.ItemIndex(Control::RefType);
    if (refType > 0)
        info.RefTypeToken = SettingToken(info.RefType);
    // Item 0 of the zones list is also what a logger with no zone enabled reports.
    const int zones = host.ItemIndex(Control::ZonesBox);
    if (zones >= 0)
        info.ZoneCount = zones;
    info.IntervalMinutes = IntervalMinutes(host.ItemIndex(Control::LogIntBox));
    if (const QJsonValue days = Number(info.LogTime); days.isDouble())
        info.LogDays = days.toDouble();
    info.KestroClock = protocol::StrToDateTime(info.KestroTime, protocol::DateFormats{});
    info.PcNow = host.PcNow();
    info.PcUtcOffsetMinutes = logdata::LocalUtcOffsetMinutes(info.PcNow);
    return info;
}

std::string IsoPcTime(const protocol::DateTime& t, int utcOffsetMinutes) {
    const int magnitude = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.Year, t.Month,
                  t.Day, t.Hour, t.Minute, t.Second, utcOffsetMinutes < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

std::optional<int64_t> ClockDifferenceSeconds(const TInfo& info) {
    if (!info.KestroClock)
        return std::nullopt;
    // Both clocks are local civil time, so the calendar difference is the difference. The
    // logger tells whole minutes only; comparing its minute with the PC's keeps clocks that
    // agree at 0 instead of a made-up count of seconds.
    return (protocol::MinutesSinceEpoch(*info.KestroClock) -
            protocol::MinutesSinceEpoch(info.PcNow)) *
           60;
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
    if (const auto difference = ClockDifferenceSeconds(info))
        out += Line("Clock difference:", std::to_string(*difference) + " s (Kestro - PC)");
    for (std::size_t z = 0; z < 3; ++z) {
        const std::string label = "Zone " + std::to_string(z + 1) + ":";
        const std::string reading = info.ZoneOn(z) ? info.ZoneReadings[z] : std::string("off");
        out += Line(label.c_str(), reading + "  " + info.ZoneTexts[z]);
    }
    out += Line("Battery voltage:", info.BatteryVolts);
    return out;
}

std::string InfoJson(const TInfo& info) {
    QJsonArray zones;
    for (std::size_t z = 0; z < 3; ++z)
        zones.append(QJsonObject{
            {"zone", static_cast<int>(z + 1)},
            {"description", Json(info.ZoneTexts[z])},
            {"millivolts", info.ZoneOn(z) ? QJsonValue(info.ZoneMillivolts[z]) : QJsonValue()}});
    QJsonObject object{
        {"name", Json(info.Name)},
        {"serial", Json(info.SerialNo)},
        {"version", Json(info.SoftwareVersion)},
        {"logCapacity", info.LogCapacity},
        {"material", Token(info.MaterialToken)},
        {"zones", Optional(info.ZoneCount)},
        {"reftype", Token(info.RefTypeToken)},
        {"interval", Optional(info.IntervalMinutes)},
        {"logDays", Optional(info.LogDays)},
        {"cyclic", info.Cyclic},
        {"logCount", Number(info.LogCount)},
        {"kestroTime", info.KestroClock ? QJsonValue(QString::fromStdString(logdata::LoggerTimeText(
                                              protocol::MinutesSinceEpoch(*info.KestroClock))))
                                        : QJsonValue()},
        {"clockDifferenceSeconds", Optional(ClockDifferenceSeconds(info))},
        {"pcTime", PcTimeJson(info)},
        {"zoneReadings", zones},
        {"batteryVolts", Number(info.BatteryVolts)}};
    // The descriptions once more under the keys set takes, so the object feeds set as it is.
    for (std::size_t z = 0; z < 3; ++z)
        object.insert(QString("zone%1").arg(z + 1), Json(info.ZoneTexts[z]));
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

std::string ReadingsText(const TInfo& info) {
    const protocol::DateTime& t = info.PcNow;
    char time[32];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second);
    std::string out = time;
    for (std::size_t z = 0; z < 3; ++z)
        out += "  " + (info.ZoneOn(z) ? info.ZoneReadings[z] : std::string("off"));
    return out + "  " + info.BatteryVolts + "\n";
}

std::string ReadingsJson(const TInfo& info) {
    QJsonArray millivolts;
    for (std::size_t z = 0; z < 3; ++z)
        millivolts.append(info.ZoneOn(z) ? QJsonValue(info.ZoneMillivolts[z]) : QJsonValue());
    const QJsonObject object{{"pcTime", PcTimeJson(info)},
                             {"millivolts", millivolts},
                             {"batteryVolts", Number(info.BatteryVolts)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string PortsText(const std::vector<cport::TComPortInfo>& ports) {
    std::string out;
    for (const cport::TComPortInfo& port : ports) {
        char name[16];
        std::snprintf(name, sizeof name, "%-6s ", port.Name.c_str());
        out += name + port.Description + "\n";
    }
    return out;
}

std::string PortsJson(const std::vector<cport::TComPortInfo>& ports) {
    QJsonArray array;
    for (const cport::TComPortInfo& port : ports)
        array.append(QJsonObject{
            {"name", QString::fromStdString(port.Name)},
            {"path", port.Path.empty() ? QJsonValue() : QString::fromLocal8Bit(port.Path)},
            {"description", QString::fromLocal8Bit(port.Description)}});
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

std::string OpenFailureText(const std::string& port, const kline::TOpenResult& failure) {
    std::string device;
    if (!failure.Path.empty() && !failure.Variable.empty())
        device = failure.Path + ", from " + failure.Variable;
    else if (!failure.Variable.empty())
        device = failure.Variable + " is empty";
    else if (failure.Path.empty())
        device = "no such port on this PC";
    else if (failure.Path != port)
        device = failure.Path;
    return "cannot open " + port + (device.empty() ? "" : " (" + device + ")") + ": " +
           std::strerror(failure.SystemCode);
}

std::string OpenFailureAdvice(const std::string& port, const kline::TOpenResult& failure) {
    if (failure.SystemCode == ENOTTY && !failure.Path.empty())
        return failure.Path + " is not a serial port: give the logger's serial device.";
    return cport::OpenFailureAdvice({port, failure.Path, failure.SystemCode, "", failure.Variable});
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
