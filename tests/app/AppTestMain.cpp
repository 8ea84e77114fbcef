// One QApplication for every test, on the offscreen platform.
#include "AppFixture.h"

#include "app/Shell.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No test may reach a real serial device: every COMn points at a missing path.
    for (int N = 1; N <= 10; ++N)
        setenv(("QUORVA_COM" + std::to_string(N)).c_str(), apptest::MissingPort, 1);
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    // Downloads made by the tests go into an archive of their own, never the user's.
    const std::string Archive = "/tmp/quorva-tests-" + std::to_string(getpid()) + ".sqlite3";
    setenv("QUORVA_ARCHIVE", Archive.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int Result = RUN_ALL_TESTS();
    for (const char* Suffix : {"", "-wal", "-shm"})
        unlink((Archive + Suffix).c_str());
    return Result;
}
