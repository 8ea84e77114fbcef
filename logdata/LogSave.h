// Writing the log file: the header for a download, the whole file for Save.
#pragma once

#include "logdata/LogDisplay.h"
#include "logdata/LogFile.h"
#include "logdata/LogHeader.h"

#include <string>
#include <vector>

namespace logdata {

// Opens the file anew and writes the 21 header lines; the file stays open for the entries.
// Throws EInOutError; what was written before the failing line stays in the file.
void WriteLogHeader(TLogFile& file, const std::string& name, const THeaderValues& values);

// Header, the displayed lines, one more CR LF, closed. On an error the file is closed too
// before EInOutError passes on.
void SaveLogFile(TLogFile& file, const std::string& name, const THeaderValues& values,
                 const TLogDisplay& display);

// Puts newLines in the place of the entry lines of a downloaded log file, provided that after
// its header it still holds exactly writtenLines (each line without its line end): through a
// temporary file beside it that is renamed over it, so the file is whole at every moment. A
// link chosen as the file stays a link; the file it leads to is the one replaced. False when
// the file was left as it was, with the reason in error ("" when it is no regular file).
bool ReplaceLogEntries(const std::string& name, const std::vector<std::string>& writtenLines,
                       const std::vector<std::string>& newLines, std::string& error);

} // namespace logdata
