// One QApplication for every test, on the offscreen platform.
#include "AppFixture.h"

#include "app/Shell.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No test may reach a real serial device: every COMn points at a missing path.
    for (int N = 1; N <= 10; ++N)
        setenv(("QUORVA_COM" + std::to_string(N)).c_str(), apptest::MissingPort, 1);
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
