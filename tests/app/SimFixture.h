// The window against the simulated logger on a pseudo-terminal: what those tests share.
#pragma once

#include "AppFixture.h"
#include "app/Logger.h"
#include "sim/PtyRunner.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace apptest {

class SimAppTest : public AppTest {
protected:
    // The window goes before the logger, so the port closes on a line that is still there.
    void TearDown() override;
    // Starts the simulated logger and points COM1 at it.
    void StartLogger(const sim::Config& Config = {});
    // Builds the window, with no dialog that could block, and shows it after BeforeShow.
    void ShowWindow(const std::function<void(app::TForm1&)>& BeforeShow = {});
    void Start(const sim::Config& Config = {});

    bool WaitForReady(int Milliseconds = 9000);
    bool WaitForSearching(int Milliseconds);
    // The whole file, or nothing when it cannot be opened.
    static std::string ReadFile(const QString& Path);

    std::unique_ptr<sim::PtyRunner> Runner;
    std::unique_ptr<app::TForm1> Form;
};

} // namespace apptest
