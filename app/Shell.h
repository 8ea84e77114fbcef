// Program-wide parts of the window shell: the application object's set-up, the standard error
// box (replaceable so tests can count boxes without blocking) and the serial layer's hooks.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QApplication;

namespace app {

inline constexpr const char* ApplicationTitle = "Quorva Kestro Access Software from Talvenor Ltd";

// Title, display name and window class, icon, the main-thread wake hook of the serial layer
// and its application exception handler.
void InitApplication(QApplication& Application);

// SIGTERM and SIGHUP (a shutdown, a logout, a kill) close the windows as the user would: a log
// file being written is finished and closed, and the port closed. Call once, with the
// application object made.
void CloseWindowsOnSignals();

// The logger stores one byte per character and the log file holds those bytes: Latin-1 maps
// every byte to one character and back, so nothing read from the logger is ever altered.
inline std::string ToStd(const QString& Text) {
    return Text.toLatin1().toStdString();
}
inline QString FromStd(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}
// File names are the file system's bytes, and the system's messages may quote them: both use
// the system's encoding, not the logger's.
std::string ToFileName(const QString& Name);
QString FromSystemText(const std::string& Text);

// The standard error message box; every error the user sees goes through here. Boxes open
// once the current handler has returned, one per distinct message at a time.
using TErrorBoxHook = std::function<void(const QString& Message)>;
void ShowErrorBox(const QString& Message);
// An empty hook restores the real message box.
void SetErrorBoxHook(TErrorBoxHook Hook);
// The plain information box, replaceable the same way.
void ShowMessageBox(const QString& Message);
void SetMessageBoxHook(TErrorBoxHook Hook);

} // namespace app
