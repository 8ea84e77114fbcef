// "kestro set key=value ...": the changes asked for, as the window's controls would take them.
#pragma once

#include "link/LinkHost.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct TSettingChange {
    enum class TKind { Text, Item, Check };
    std::string Key;
    TKind Kind = TKind::Text;
    klink::Control Target = klink::Control::KestroName;
    std::string Text; // one byte per character, as the logger stores it
    int Item = -1;    // the selector's item index
    bool Checked = false;
};

// The keys in the order --help lists them.
std::string SetKeysHelp();

// The word set takes for a selector's item ("Ag AgCl" -> "agagcl"); info --json prints the same.
std::string SettingToken(std::string_view itemText);
// The log interval's minutes for a LogIntBox item ("Off" is 0); nullopt for "?" or no item.
std::optional<int> IntervalMinutes(int item);

// Arguments as the command line gave them (the locale's encoding); the words of selectors and
// switches in any case. nullopt with a message in error (naming the valid values) for an
// unknown key, a value the control has no item for, a text the logger cannot hold, or a key
// given twice.
std::optional<std::vector<TSettingChange>> ParseSetRequest(const std::vector<std::string>& args,
                                                           std::string& error);

// Whether the control now holds what was asked; a text is compared without the blanks the
// logger pads it with.
bool ChangeTook(const TSettingChange& change, const klink::TLinkHost& host);

} // namespace cli
