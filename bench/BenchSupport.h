// What the Qt benchmarks share: letting the program run, and the main thread's CPU time.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <ctime>

namespace bench {

// Runs the event loop for this long, as the program would while the user waits.
inline void RunFor(int Milliseconds) {
    QElapsedTimer T;
    T.start();
    while (T.elapsed() < Milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// CPU time of the calling thread, in milliseconds.
inline double ThreadCpuMs() {
    timespec T{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return static_cast<double>(T.tv_sec) * 1e3 + static_cast<double>(T.tv_nsec) / 1e6;
}

} // namespace bench
