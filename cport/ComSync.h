// Hand-over of calls from event threads to the main thread. The Qt shell installs a wake hook
// that schedules ProcessPendingCalls() on its event loop; tests without Qt drain by hand.
#pragma once

#include <chrono>
#include <functional>

namespace cport {

// Called from any thread whenever a call has been queued; must not block.
using TWakeMainThreadHook = std::function<void()>;
void SetWakeMainThreadHook(TWakeMainThreadHook Hook);

// Posts Call to the main thread's event loop to run there later; called from any thread, must
// not block.
using TPostToEventLoop = std::function<void(std::function<void()> Call)>;
// Installs the program's event loop: a queued hand-over wakes it to drain the queue (this sets
// the wake hook), and RunAfterHandOver posts through it.
void SetEventLoopHook(TPostToEventLoop Post);
// Main thread: runs Call from the event loop once no hand-over is being drained any more:
// closing a port from inside its own hand-over would wait for itself. Without an event loop
// hook the call runs as soon as the drain has returned.
void RunAfterHandOver(std::function<void()> Call);

// The main thread is the one that ran static initialisation, unless another claims it.
void SetMainThread();
bool IsMainThread();

// Main thread: runs every queued call in order; returns how many ran. Exceptions of
// smThreadSync calls go back to the waiting thread, others to the application handler.
int ProcessPendingCalls();
// Main thread: waits until at least one call is queued (or the timeout passes).
bool WaitForPendingCalls(std::chrono::milliseconds Timeout);

// Event thread: runs Call on the main thread and waits for it; its exception is rethrown here.
// On the main thread the call runs at once.
void RunOnMainThread(const std::function<void()>& Call);
// Event thread: queues Call and returns once the main thread has taken it (before it runs).
void HandOverToMainThread(std::function<void()> Call);
// Any thread: queues Call without waiting.
void PostToMainThread(std::function<void()> Call);

// Main thread: keeps running queued calls until Done() holds. Done is re-checked whenever
// a call is queued or NotifyMainThread() is called, so a closing port never waits for an
// event thread that is itself waiting for the main thread.
void ServeMainThreadUntil(const std::function<bool()>& Done);
void NotifyMainThread();

} // namespace cport
