#include "app/Shell.h"

#include "cport/ComError.h"
#include "cport/ComSync.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

namespace app {

namespace {

TErrorBoxHook& ErrorBoxHook() {
    static TErrorBoxHook Hook;
    return Hook;
}

void ShowCriticalBox(const QString& Message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          Message);
}

// Called from the port's event thread: it only posts, the main thread drains the queue.
void WakeMainThread() {
    if (QCoreApplication* Instance = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            Instance, [] { cport::ProcessPendingCalls(); }, Qt::QueuedConnection);
}

} // namespace

void ShowErrorBox(const QString& Message) {
    if (ErrorBoxHook())
        ErrorBoxHook()(Message);
    else
        ShowCriticalBox(Message);
}

void SetErrorBoxHook(TErrorBoxHook Hook) {
    ErrorBoxHook() = std::move(Hook);
}

void InitApplication(QApplication& Application) {
    // The application name is also the X11 window class the desktop groups the program by.
    QCoreApplication::setApplicationName(ApplicationTitle);
    QGuiApplication::setApplicationDisplayName(ApplicationTitle);
    Application.setWindowIcon(QIcon(QStringLiteral(":/quorva.svg")));
    cport::SetMainThread();
    cport::SetWakeMainThreadHook(WakeMainThread);
    cport::SetApplicationExceptionHandler(
        [](const std::exception& E) { ShowErrorBox(QString::fromLocal8Bit(E.what())); });
}

} // namespace app
