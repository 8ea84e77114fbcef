// "Did you mean ...?" for a mistyped command or setting.
#pragma once

#include <string>
#include <vector>

namespace cli {

// The one choice that word begins, else the one a typing slip away from it (a letter or two
// wrong, missing, extra or swapped),
// or "" when none is that close or two are equally close.
std::string ClosestChoice(const std::string& word, const std::vector<std::string>& choices);

} // namespace cli
