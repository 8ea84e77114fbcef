// Writing the log file: the header for a download, the whole file for Save.
#pragma once

#include "logdata/LogDisplay.h"
#include "logdata/LogFile.h"
#include "logdata/LogHeader.h"

#include <string>

namespace logdata {

// Opens the file anew and writes the 21 header lines; the file stays open for the entries.
// Throws EInOutError; what was written before the failing line stays in the file.
void WriteLogHeader(TLogFile& file, const std::string& name, const THeaderValues& values);

// Header, the displayed lines, one more CR LF, closed. On an error the file is closed too
// before EInOutError passes on.
void SaveLogFile(TLogFile& file, const std::string& name, const THeaderValues& values,
                 const TLogDisplay& display);

} // namespace logdata
