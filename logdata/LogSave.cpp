#include "logdata/LogSave.h"

namespace logdata {

void WriteLogHeader(TLogFile& file, const std::string& name, const THeaderValues& values) {
    file.Rewrite(name);
    for (const std::string& line : HeaderLines(values)) {
        file.WriteLine(line);
    }
}

void SaveLogFile(TLogFile& file, const std::string& name, const THeaderValues& values,
                 const TLogDisplay& display) {
    try {
        WriteLogHeader(file, name, values);
        file.Write(display.Text());
        file.Write(LineEnd);
    } catch (const EInOutError&) {
        CloseQuietly(file);
        throw;
    }
    file.Close();
}

} // namespace logdata
