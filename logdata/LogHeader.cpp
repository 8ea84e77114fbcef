#include "logdata/LogHeader.h"

namespace logdata {

namespace {
// Each label is padded so that its "=" stands in column 22.
std::string Labelled(const char* label, const std::string& value) {
    return std::string(label) + value;
}
} // namespace

std::array<std::string, HeaderLineCount> HeaderLines(const THeaderValues& v) {
    return {
        "*Configuration",
        "*-------------",
        Labelled("*Kestro Name         = ", v.KestroName),
        Labelled("*Serial Number       = ", v.SerialNo),
        Labelled("*Software Version    = ", v.SoftwareVersion),
        Labelled("*Zone1 Description   = ", v.Zone1Text),
        Labelled("*Zone2 Description   = ", v.Zone2Text),
        Labelled("*Zone3 Description   = ", v.Zone3Text),
        Labelled("*Log Interval        = ", v.LogInterval),
        Labelled("*Hull Material       = ", v.Material),
        Labelled("*Reference Type      = ", v.RefType),
        Labelled("*Zones Enabled       = ", v.Zones),
        Labelled("*Cyclic Logging      = ", v.CyclicLogging ? "Enabled" : "Disabled"),
        Labelled("*Log Count           = ", v.LogCount),
        Labelled("*Kestro Time         = ", v.KestroTime),
        Labelled("*PC Time             = ", v.PcTime),
        Labelled("*Battery Voltage     = ", v.BatteryVolts),
        "",
        "*Log Data",
        "*--------",
        " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 ",
    };
}

std::string PcTimeText(const protocol::DateTime& now, const protocol::DateFormats& formats) {
    return protocol::DateTimeToStr(now, formats);
}

} // namespace logdata
