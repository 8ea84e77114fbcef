// "kestro set key=value ...": the changes asked for, as the window's controls would take them.
#pragma once

#include "link/LinkHost.h"

#include <optional>
#include <string>
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

// Arguments as the command line gave them (the locale's encoding). nullopt with a message in
// error for an unknown key, a value the control has no item for, a text the logger cannot
// hold, or a key given twice.
std::optional<std::vector<TSettingChange>> ParseSetRequest(const std::vector<std::string>& args,
                                                           std::string& error);

// Whether the control now holds what was asked; a text is compared without the blanks the
// logger pads it with.
bool ChangeTook(const TSettingChange& change, const klink::TLinkHost& host);

} // namespace cli
