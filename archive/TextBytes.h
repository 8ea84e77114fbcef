// The logger's one-byte texts in the archive: stored as UTF-8 so that any tool reads them.
#pragma once

#include <string>

namespace archive {

std::string ToUtf8(const std::string& latin1);
// Characters beyond Latin-1 (which this program never stores) become "?".
std::string FromUtf8(const std::string& utf8);

} // namespace archive
