#include "SimFixture.h"

#include <QFile>
#include <QLineEdit>
#include <cstdlib>

namespace apptest {

void SimAppTest::TearDown() {
    Form.reset();
    Runner.reset();
    AppTest::TearDown();
}

void SimAppTest::StartLogger(const sim::Config& Config) {
    Runner = std::make_unique<sim::PtyRunner>(Config);
    Runner->Start();
    setenv("QUORVA_COM1", Runner->Path().c_str(), 1);
}

void SimAppTest::ShowWindow(const std::function<void(app::TForm1&)>& BeforeShow) {
    Form = WithoutDialogs(std::make_unique<app::TForm1>());
    if (BeforeShow)
        BeforeShow(*Form);
    Form->show();
}

void SimAppTest::Start(const sim::Config& Config) {
    StartLogger(Config);
    ShowWindow();
}

bool SimAppTest::WaitForReady(int Milliseconds) {
    return WaitFor([&] { return Form->Status->text() == "  Kestro Ready"; }, Milliseconds);
}

bool SimAppTest::WaitForSearching(int Milliseconds) {
    return WaitFor([&] { return Form->Status->text() == "  Trying To Find Kestro"; }, Milliseconds);
}

std::string SimAppTest::ReadFile(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return File.readAll().toStdString();
}

} // namespace apptest
