#include "cli/SetRequest.h"

#include "cli/Suggest.h"

#include "logdata/LogHeader.h"
#include "protocol/Commands.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
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
        if (c.unicode() > 0xFF) {
            error = "a character that the Kestro cannot store";
            return std::nullopt;
        }
        // Read back, it would split the log file's header line and the CSV's row.
        if (logdata::IsControlCharacter(static_cast<char>(c.unicode()))) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c.unicode());
            error = std::string("the control character ") + code + " (only printable characters)";
            return std::nullopt;
        }
    }
    if (text.size() > static_cast<qsizetype>(protocol::TextFieldLength)) {
        error = "at most " + std::to_string(protocol::TextFieldLength) + " characters";
        return std::nullopt;
    }
    return text.toLatin1().toStdString();
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : separator) + w;
    return text;
}

// The words of a selector's items after "?", the item that stands for no value.
template <std::size_t N>
std::vector<std::string> ItemTokens(const std::array<std::string_view, N>& items) {
    std::vector<std::string> tokens;
    for (std::size_t i = 1; i < N; ++i)
        tokens.push_back(SettingToken(items[i]));
    return tokens;
}

std::vector<std::string> IntervalTokens() {
    std::vector<std::string> tokens{"off"};
    for (std::size_t i = 1; i < protocol::LogIntervalTable.size(); ++i)
        tokens.push_back(std::to_string(protocol::LogIntervalTable[i]));
    return tokens;
}

const std::vector<std::string>& ZonesTokens() {
    static const std::vector<std::string> tokens = {"0", "1", "2", "3"};
    return tokens;
}

const std::vector<std::string>& CyclicTokens() {
    static const std::vector<std::string> tokens = {"on", "off", "true", "false"};
    return tokens;
}

const std::map<std::string, Control>& TextKeys() {
    static const std::map<std::string, Control> texts = {{"name", Control::KestroName},
                                                         {"zone1", Control::Zone1Text},
                                                         {"zone2", Control::Zone2Text},
                                                         {"zone3", Control::Zone3Text}};
    return texts;
}

const std::vector<std::string>& Keys() {
    static const std::vector<std::string> keys = {
        "name", "zone1", "zone2", "zone3", "material", "zones", "reftype", "interval", "cyclic"};
    return keys;
}

std::optional<int> IntervalItem(const std::string& value) {
    if (value == "off")
        return 1;
    // "Off" is 0 minutes in the table, and info --json prints it so.
    for (std::size_t i = 1; i < protocol::LogIntervalTable.size(); ++i) {
        if (value == std::to_string(protocol::LogIntervalTable[i]))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

template <std::size_t N>
std::optional<int> TokenItem(const std::array<std::string_view, N>& items,
                             const std::string& value) {
    for (std::size_t i = 1; i < N; ++i)
        if (SettingToken(items[i]) == value)
            return static_cast<int>(i);
    return std::nullopt;
}

// Fills change from value; false with a message in error.
bool Fill(TSettingChange& change, const std::string& given, std::string& error) {
    const std::string& key = change.Key;
    const std::string value = Lower(given);
    std::optional<int> item;
    std::vector<std::string> valid;
    if (const auto it = TextKeys().find(key); it != TextKeys().end()) {
        change.Kind = TKind::Text;
        change.Target = it->second;
        const auto text = Latin1Text(given, error);
        if (text)
            change.Text = *text;
        return text.has_value();
    } else if (key == "material") {
        change.Target = Control::MaterialBox;
        item = TokenItem(protocol::MaterialItems, value);
        valid = ItemTokens(protocol::MaterialItems);
    } else if (key == "zones") {
        change.Target = Control::ZonesBox;
        // Item 0 ("?") is what the logger reports with no zone enabled.
        const auto at = std::find(ZonesTokens().begin(), ZonesTokens().end(), value);
        if (at != ZonesTokens().end())
            item = static_cast<int>(at - ZonesTokens().begin());
        valid = ZonesTokens();
    } else if (key == "reftype") {
        change.Target = Control::RefType;
        item = TokenItem(protocol::RefTypeItems, value);
        valid = ItemTokens(protocol::RefTypeItems);
    } else if (key == "interval") {
        change.Target = Control::LogIntBox;
        item = IntervalItem(value);
        valid = IntervalTokens();
    } else if (key == "cyclic") {
        change.Kind = TKind::Check;
        change.Target = Control::CyclicLogCheckBox;
        const auto at = std::find(CyclicTokens().begin(), CyclicTokens().end(), value);
        if (at == CyclicTokens().end()) {
            error = "not one of " + Joined(CyclicTokens(), ", ");
            return false;
        }
        change.Checked = *at == "on" || *at == "true";
        return true;
    } else {
        const std::string guess = ClosestChoice(key, Keys());
        error = "no such setting (" +
                (guess.empty() ? "the settings are " + Joined(Keys(), ", ")
                               : "did you mean " + guess + "?") +
                ")";
        return false;
    }
    change.Kind = TKind::Item;
    if (!item) {
        error = "not one of " + Joined(valid, ", ");
        return false;
    }
    change.Item = *item;
    return true;
}

} // namespace

std::string SettingToken(std::string_view itemText) {
    std::string token;
    for (const char c : itemText)
        if (std::isalnum(static_cast<unsigned char>(c)))
            token += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return token;
}

std::optional<int> IntervalMinutes(int item) {
    if (item < 1 || item >= static_cast<int>(protocol::LogIntervalTable.size()))
        return std::nullopt;
    return protocol::LogIntervalTable[static_cast<std::size_t>(item)];
}

std::string SetKeysHelp() {
    // Two columns, as the options are laid out, so the manual page makes a table of them.
    const auto row = [](const std::string& key, const std::string& text) {
        std::string line = "  " + key;
        line +=
            key.size() + 2 < 24 ? std::string(22 - key.size(), ' ') : "\n" + std::string(24, ' ');
        return line + text + "\n";
    };
    const std::string length = std::to_string(protocol::TextFieldLength);
    return row("name=TEXT", "the logger's name, up to " + length + " characters") +
           row("zone1=TEXT", "zone 1's description, up to " + length + " characters;\n" +
                                 std::string(24, ' ') + "zone2= and zone3= alike") +
           row("material=WORD", "one of " + Joined(ItemTokens(protocol::MaterialItems), ", ")) +
           row("zones=N", "zones enabled, one of " + Joined(ZonesTokens(), ", ")) +
           row("reftype=WORD", "the reference electrode, one of " +
                                   Joined(ItemTokens(protocol::RefTypeItems), ", ")) +
           row("interval=MINUTES", "minutes between log entries (0 is off), one of\n" +
                                       std::string(24, ' ') + Joined(IntervalTokens(), ", ")) +
           row("cyclic=on|off", "on or true: a full log goes on over its oldest entries;\n" +
                                    std::string(24, ' ') + "off or false: it stops");
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
        change.Key = Lower(arg.substr(0, eq));
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
