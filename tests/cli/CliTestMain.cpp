// One QApplication for every test: the window is run too, to compare its log file with kestro's.
#include "KestroRun.h"

#include "app/Shell.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No test may reach a real serial device: every COMn points at a missing path.
    for (int n = 1; n <= 10; ++n)
        setenv(("QUORVA_COM" + std::to_string(n)).c_str(), clitest::MissingPort, 1);
    unsetenv("KESTRO_PORT");
    QApplication application(argc, argv);
    app::InitApplication(application);
    // Downloads made by the tests go into an archive of their own, never the user's.
    const std::string archive = "/tmp/quorva-tests-" + std::to_string(getpid()) + ".sqlite3";
    setenv("QUORVA_ARCHIVE", archive.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    for (const char* suffix : {"", "-wal", "-shm"})
        unlink((archive + suffix).c_str());
    return result;
}
