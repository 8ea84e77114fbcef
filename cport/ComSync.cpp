#include "cport/ComSync.h"

#include "cport/ComError.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace cport {

namespace {

enum class TCallKind { Sync, HandOver, Post };

// Lives on the stack of the event thread that waits for its call.
struct TWaiter {
    bool Taken = false;
    bool Done = false;
    std::exception_ptr Error;
};

struct TCall {
    TCallKind Kind;
    std::function<void()> Fn;
    TWaiter* Waiter;
};

struct TQueue {
    std::mutex Mutex;
    std::condition_variable MainCv;   // the main thread waits here for calls
    std::condition_variable WaiterCv; // event threads wait here for their call to be taken/done
    std::deque<TCall> Calls;
    TWakeMainThreadHook Hook;
    std::thread::id MainThread = std::this_thread::get_id();
};

TQueue& Queue() {
    static TQueue Instance;
    return Instance;
}

// Constructed during static initialisation, which runs on the process's main thread.
[[maybe_unused]] TQueue& InitialQueue = Queue();

void Enqueue(TCall Call) {
    TQueue& Q = Queue();
    TWakeMainThreadHook Hook;
    {
        std::lock_guard Lock(Q.Mutex);
        Q.Calls.push_back(std::move(Call));
        Hook = Q.Hook;
    }
    Q.MainCv.notify_all();
    if (Hook)
        Hook();
}

void RunCall(TCall& Call) {
    TQueue& Q = Queue();
    if (Call.Kind == TCallKind::HandOver) {
        {
            std::lock_guard Lock(Q.Mutex);
            Call.Waiter->Taken = true;
        }
        Q.WaiterCv.notify_all();
    }
    std::exception_ptr Error;
    try {
        Call.Fn();
    } catch (...) {
        Error = std::current_exception();
    }
    if (Call.Kind == TCallKind::Sync) {
        {
            std::lock_guard Lock(Q.Mutex);
            // Hand the only reference over: the waiting thread frees the exception, after it
            // has read it, rather than this one at some unordered moment.
            Call.Waiter->Error = std::move(Error);
            Call.Waiter->Done = true;
        }
        Q.WaiterCv.notify_all();
    } else if (Error) {
        HandleApplicationException(Error);
    }
}

// The event loop's side of the hand-over; touched on the main thread only.
struct TEventLoop {
    TPostToEventLoop Post;
    int DrainDepth = 0; // a modal box inside a delivered call drains again, nested
    std::vector<std::function<void()>> AfterHandOver;
};

TEventLoop& EventLoop() {
    static TEventLoop Instance;
    return Instance;
}

void RunAfterHandOvers() {
    std::vector<std::function<void()>> Calls;
    Calls.swap(EventLoop().AfterHandOver);
    for (auto& Call : Calls) {
        if (EventLoop().Post)
            EventLoop().Post(std::move(Call));
        else
            Call();
    }
}

void DrainHandOvers() {
    TEventLoop& Loop = EventLoop();
    ++Loop.DrainDepth;
    try {
        ProcessPendingCalls();
    } catch (...) {
        --Loop.DrainDepth;
        throw;
    }
    if (--Loop.DrainDepth == 0 && !Loop.AfterHandOver.empty())
        RunAfterHandOvers();
}

} // namespace

void SetEventLoopHook(TPostToEventLoop Post) {
    EventLoop().Post = Post;
    // The event thread holds its own copy: it must not read the main thread's hook.
    SetWakeMainThreadHook([Post = std::move(Post)] {
        if (Post)
            Post([] { DrainHandOvers(); });
    });
}

void RunAfterHandOver(std::function<void()> Call) {
    EventLoop().AfterHandOver.push_back(std::move(Call));
    if (EventLoop().DrainDepth == 0)
        RunAfterHandOvers();
}

void SetWakeMainThreadHook(TWakeMainThreadHook Hook) {
    std::lock_guard Lock(Queue().Mutex);
    Queue().Hook = std::move(Hook);
}

void SetMainThread() {
    std::lock_guard Lock(Queue().Mutex);
    Queue().MainThread = std::this_thread::get_id();
}

bool IsMainThread() {
    std::lock_guard Lock(Queue().Mutex);
    return Queue().MainThread == std::this_thread::get_id();
}

int ProcessPendingCalls() {
    TQueue& Q = Queue();
    size_t Limit;
    {
        // Only what is queued now: a busy line must not keep the main thread here forever.
        std::lock_guard Lock(Q.Mutex);
        Limit = Q.Calls.size();
    }
    int Ran = 0;
    for (; Limit > 0; --Limit) {
        TCall Call;
        {
            std::lock_guard Lock(Q.Mutex);
            if (Q.Calls.empty())
                break;
            Call = std::move(Q.Calls.front());
            Q.Calls.pop_front();
        }
        RunCall(Call);
        ++Ran;
    }
    return Ran;
}

bool WaitForPendingCalls(std::chrono::milliseconds Timeout) {
    TQueue& Q = Queue();
    std::unique_lock Lock(Q.Mutex);
    return Q.MainCv.wait_for(Lock, Timeout, [&] { return !Q.Calls.empty(); });
}

void RunOnMainThread(const std::function<void()>& Call) {
    if (IsMainThread()) {
        Call();
        return;
    }
    TWaiter Waiter;
    Enqueue({TCallKind::Sync, Call, &Waiter});
    TQueue& Q = Queue();
    std::unique_lock Lock(Q.Mutex);
    Q.WaiterCv.wait(Lock, [&] { return Waiter.Done; });
    if (Waiter.Error)
        std::rethrow_exception(Waiter.Error);
}

void HandOverToMainThread(std::function<void()> Call) {
    if (IsMainThread()) {
        TCall Direct{TCallKind::Post, std::move(Call), nullptr};
        RunCall(Direct);
        return;
    }
    TWaiter Waiter;
    Enqueue({TCallKind::HandOver, std::move(Call), &Waiter});
    TQueue& Q = Queue();
    std::unique_lock Lock(Q.Mutex);
    Q.WaiterCv.wait(Lock, [&] { return Waiter.Taken; });
}

void PostToMainThread(std::function<void()> Call) {
    Enqueue({TCallKind::Post, std::move(Call), nullptr});
}

void ServeMainThreadUntil(const std::function<bool()>& Done) {
    TQueue& Q = Queue();
    for (;;) {
        ProcessPendingCalls();
        std::unique_lock Lock(Q.Mutex);
        Q.MainCv.wait(Lock, [&] { return !Q.Calls.empty() || Done(); });
        if (Q.Calls.empty())
            return;
    }
}

void NotifyMainThread() {
    TQueue& Q = Queue();
    { std::lock_guard Lock(Q.Mutex); }
    Q.MainCv.notify_all();
}

} // namespace cport
