#include "app/Shell.h"

#include "cport/ComError.h"
#include "cport/ComSync.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QSet>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {

namespace {

TErrorBoxHook& ErrorBoxHook() {
    static TErrorBoxHook Hook;
    return Hook;
}

TErrorBoxHook& MessageBoxHook() {
    static TErrorBoxHook Hook;
    return Hook;
}

void ShowCriticalBox(const QString& Message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          Message);
}

// Called from the port's event thread too: it only posts.
void PostToLoop(std::function<void()> Call) {
    if (QCoreApplication* Instance = QCoreApplication::instance())
        QMetaObject::invokeMethod(Instance, std::move(Call), Qt::QueuedConnection);
}

// Boxes open from the event loop, after the handler that raised them has returned: a modal
// box inside a timer's slot would stop that timer (and the poll, the watchdog, a download)
// for as long as it stayed open. A message already waiting or on screen opens no second box.
QSet<QString>& BoxesUp() {
    static QSet<QString> Up;
    return Up;
}

void PostBox(bool Error, const QString& Message) {
    const QString Key = (Error ? QStringLiteral("E") : QStringLiteral("M")) + Message;
    if (BoxesUp().contains(Key))
        return;
    auto Show = [Error, Message, Key] {
        const TErrorBoxHook& Hook = Error ? ErrorBoxHook() : MessageBoxHook();
        if (Hook)
            Hook(Message);
        else if (Error)
            ShowCriticalBox(Message);
        else
            QMessageBox::information(QApplication::activeWindow(),
                                     QApplication::applicationDisplayName(), Message);
        BoxesUp().remove(Key);
    };
    QCoreApplication* Instance = QCoreApplication::instance();
    if (!Instance) {
        Show();
        return;
    }
    BoxesUp().insert(Key);
    QMetaObject::invokeMethod(Instance, std::move(Show), Qt::QueuedConnection);
}

int SignalPipe[2] = {-1, -1};

// Only a write is safe in a signal handler; the loop does the rest.
void OnQuitSignal(int) {
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Written = write(SignalPipe[1], &Byte, 1);
}

} // namespace

void CloseWindowsOnSignals() {
    if (SignalPipe[0] >= 0 || pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* Notifier =
        new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(Notifier, &QSocketNotifier::activated, [] {
        char Bytes[16];
        while (read(SignalPipe[0], Bytes, sizeof Bytes) > 0) {
        }
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    struct sigaction Action {};
    Action.sa_handler = OnQuitSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGHUP, &Action, nullptr);
}

void ShowErrorBox(const QString& Message) {
    PostBox(true, Message);
}

void SetErrorBoxHook(TErrorBoxHook Hook) {
    ErrorBoxHook() = std::move(Hook);
}

void ShowMessageBox(const QString& Message) {
    PostBox(false, Message);
}

void SetMessageBoxHook(TErrorBoxHook Hook) {
    MessageBoxHook() = std::move(Hook);
}

std::string ToFileName(const QString& Name) {
    return QFile::encodeName(Name).toStdString();
}

QString FromSystemText(const std::string& Text) {
    return QString::fromLocal8Bit(Text.data(), static_cast<qsizetype>(Text.size()));
}

void InitApplication(QApplication& Application) {
    // The application name is also the X11 window class the desktop groups the program by.
    // No display name is set: the platform would append it to every window's caption.
    QCoreApplication::setApplicationName(ApplicationTitle);
    // The desktop groups the window under quorva.desktop (Wayland app id, instance "quorva").
    QGuiApplication::setDesktopFileName(QStringLiteral("quorva"));
    Application.setWindowIcon(QIcon(QStringLiteral(":/quorva.svg")));
    cport::SetMainThread();
    cport::SetEventLoopHook(PostToLoop);
    cport::SetApplicationExceptionHandler(
        [](const std::exception& E) { ShowErrorBox(FromSystemText(E.what())); });
}

} // namespace app
