// What every test of the window shell shares: a pseudo-terminal for COM1, a counted error box
// and a way to wait on the event loop.
#pragma once

#include "app/Logger.h"
#include "tests/cport/PtyHelper.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace apptest {

// The master side stays with the test; the program opens the slave side by name.
using cport_test::TPty;

inline constexpr const char* MissingPort = "/nonexistent/quorva-test-port";

// Runs the event loop until Done holds or the time is up; returns Done().
bool WaitFor(const std::function<bool()>& Done, int Milliseconds);
void Pump(int Milliseconds);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // COM1 at a fresh pseudo-terminal, or at a path that does not exist.
    std::unique_ptr<app::TForm1> StartOnPty();
    std::unique_ptr<app::TForm1> StartOnMissingPort();

    static std::unique_ptr<app::TForm1> WithoutDialogs(std::unique_ptr<app::TForm1> Form);

    QStringList Boxes;    // error boxes
    QStringList Messages; // information boxes
    std::unique_ptr<TPty> Pty;
};

} // namespace apptest
