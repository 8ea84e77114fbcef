#include "AppFixture.h"

#include "app/Shell.h"
#include "app/YesNo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace apptest {

bool WaitFor(const std::function<bool()>& Done, int Milliseconds) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < Milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return Done();
}

void Pump(int Milliseconds) {
    WaitFor([] { return false; }, Milliseconds);
}

void AppTest::SetUp() {
    app::SetErrorBoxHook([this](const QString& Message) { Boxes << Message; });
    app::SetMessageBoxHook([this](const QString& Message) { Messages << Message; });
}

void AppTest::TearDown() {
    app::SetErrorBoxHook({});
    app::SetMessageBoxHook({});
}

// No test may block in a modal dialog: the confirmation says no, the file dialog is cancelled.
std::unique_ptr<app::TForm1> AppTest::WithoutDialogs(std::unique_ptr<app::TForm1> Form) {
    Form->ConfirmHook = [] { return app::mrNo; };
    Form->SaveNameHook = [] { return std::optional<std::string>(); };
    return Form;
}

std::unique_ptr<app::TForm1> AppTest::StartOnPty() {
    Pty = std::make_unique<TPty>();
    setenv("QUORVA_COM1", Pty->SlavePath().c_str(), 1);
    return WithoutDialogs(std::make_unique<app::TForm1>());
}

std::unique_ptr<app::TForm1> AppTest::StartOnMissingPort() {
    setenv("QUORVA_COM1", MissingPort, 1);
    return WithoutDialogs(std::make_unique<app::TForm1>());
}

} // namespace apptest
