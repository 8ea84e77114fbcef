#include "cli/SetRequest.h"

#include "protocol/Commands.h"

#include <QString>
#include <map>

namespace cli {

using klink::Control;
using TKind = TSettingChange::TKind;

namespace {

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::optional<std::string> Latin1Text(const std::string& local, std::string& error) {
    const QString text = QString::fromLocal8Bit(local);
    for (const QChar c : text) {
        if (c.unicode() > 0xFF || c.unicode() == 0) {
            error = "a character that the Kestro cannot store";
            return std::nullopt;
        }
    }
    if (text.size() > static_cast<qsizetype>(protocol::TextFieldLength)) {
        error = "at most " + std::to_string(protocol::TextFieldLength) + " characters";
        return std::nullopt;
    }
    return text.toLatin1().toStdString();
}

std::optional<int> IntervalItem(const std::string& value) {
    if (value == "off")
        return 1;
    for (std::size_t i = 2; i < protocol::LogIntervalTable.size(); ++i) {
        if (value == std::to_string(protocol::LogIntervalTable[i]))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<int> NamedItem(const std::map<std::string, int>& names, const std::string& value) {
    const auto it = names.find(value);
    return it == names.end() ? std::nullopt : std::optional<int>(it->second);
}

// Fills change from value; false with a message in error.
bool Fill(TSettingChange& change, const std::string& value, std::string& error) {
    static const std::map<std::string, Control> texts = {{"name", Control::KestroName},
                                                         {"zone1", Control::Zone1Text},
                                                         {"zone2", Control::Zone2Text},
                                                         {"zone3", Control::Zone3Text}};
    static const std::map<std::string, int> materials = {
        {"aluminium", 1}, {"steel", 2}, {"bronze", 3}};
    static const std::map<std::string, int> zones = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}};
    static const std::map<std::string, int> refTypes = {{"zinc", 1}, {"agagcl", 2}};
    static const std::map<std::string, int> cyclic = {{"off", 0}, {"on", 1}};
    const std::string& key = change.Key;
    std::optional<int> item;
    if (const auto it = texts.find(key); it != texts.end()) {
        change.Kind = TKind::Text;
        change.Target = it->second;
        const auto text = Latin1Text(value, error);
        if (text)
            change.Text = *text;
        return text.has_value();
    } else if (key == "material") {
        change.Target = Control::MaterialBox;
        item = NamedItem(materials, value);
    } else if (key == "zones") {
        change.Target = Control::ZonesBox;
        item = NamedItem(zones, value);
    } else if (key == "reftype") {
        change.Target = Control::RefType;
        item = NamedItem(refTypes, value);
    } else if (key == "interval") {
        change.Target = Control::LogIntBox;
        item = IntervalItem(value);
    } else if (key == "cyclic") {
        change.Kind = TKind::Check;
        change.Target = Control::CyclicLogCheckBox;
        item = NamedItem(cyclic, value);
        change.Checked = item == 1;
        if (!item)
            error = "on or off";
        return item.has_value();
    } else {
        error = "no such setting";
        return false;
    }
    change.Kind = TKind::Item;
    if (!item) {
        error = "not a value the Kestro offers";
        return false;
    }
    change.Item = *item;
    return true;
}

} // namespace

std::string SetKeysHelp() {
    return "  name=TEXT  zone1=TEXT  zone2=TEXT  zone3=TEXT   (up to 16 characters)\n"
           "  material=aluminium|steel|bronze   zones=0..3   reftype=zinc|agagcl\n"
           "  interval=off|1|2|5|15|30|60|120|360|720|1440   (minutes)   cyclic=on|off\n";
}

std::optional<std::vector<TSettingChange>> ParseSetRequest(const std::vector<std::string>& args,
                                                           std::string& error) {
    std::vector<TSettingChange> changes;
    if (args.empty()) {
        error = "set needs at least one key=value";
        return std::nullopt;
    }
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "\"" + arg + "\" is not key=value";
            return std::nullopt;
        }
        TSettingChange change;
        change.Key = arg.substr(0, eq);
        for (const TSettingChange& earlier : changes) {
            if (earlier.Key == change.Key) {
                error = change.Key + " is given twice";
                return std::nullopt;
            }
        }
        std::string why;
        if (!Fill(change, arg.substr(eq + 1), why)) {
            error = change.Key + "=" + arg.substr(eq + 1) + ": " + why;
            return std::nullopt;
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

bool ChangeTook(const TSettingChange& change, const klink::TLinkHost& host) {
    switch (change.Kind) {
    case TKind::Text:
        return TrimRight(host.Text(change.Target)) == TrimRight(change.Text);
    case TKind::Item:
        return host.ItemIndex(change.Target) == change.Item;
    case TKind::Check:
        return host.Checked(change.Target) == change.Checked;
    }
    return false;
}

} // namespace cli
