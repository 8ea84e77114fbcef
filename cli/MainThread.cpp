#include "cli/MainThread.h"

#include "cport/ComError.h"
#include "cport/ComSync.h"

#include <QCoreApplication>
#include <vector>

namespace cli {

namespace {

int HandOverDepth = 0;
std::vector<std::function<void()>> AfterHandOver;

void PostAfterHandOver() {
    std::vector<std::function<void()>> calls;
    calls.swap(AfterHandOver);
    for (auto& call : calls)
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call),
                                  Qt::QueuedConnection);
}

void DrainHandOvers() {
    ++HandOverDepth;
    try {
        cport::ProcessPendingCalls();
    } catch (...) {
        --HandOverDepth;
        throw;
    }
    if (--HandOverDepth == 0 && !AfterHandOver.empty())
        PostAfterHandOver();
}

// Called on the port's event thread: it only posts; the main thread drains the queue.
void WakeMainThread() {
    if (QCoreApplication* instance = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            instance, [] { DrainHandOvers(); }, Qt::QueuedConnection);
}

} // namespace

void InstallMainThreadHooks(std::function<void(const char* message)> onError) {
    cport::SetMainThread();
    cport::SetWakeMainThreadHook(WakeMainThread);
    cport::SetApplicationExceptionHandler(
        [onError = std::move(onError)](const std::exception& e) { onError(e.what()); });
}

void RunAfterHandOver(std::function<void()> call) {
    AfterHandOver.push_back(std::move(call));
    if (HandOverDepth == 0)
        PostAfterHandOver();
}

} // namespace cli
