#include "platform/CrossThread.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include <wx/app.h>

namespace plat {

namespace {

struct QueuedSend {
    std::function<LRESULT()> fn;
    LRESULT result = 0;
    std::exception_ptr error;
    bool done = false;
};

// One lock and one condition for the whole queue: the user-interface thread
// waits on it for new sends (and for joined threads), workers wait on it for
// their send to have run.  Never destroyed: a joiner left to finish by itself
// (JoinServingSends) may notify the condition after main has returned, while
// static objects are being destroyed.
struct Queue {
    std::mutex mutex;
    std::condition_variable cond;
    std::deque<std::shared_ptr<QueuedSend>> sends;
    std::deque<std::function<void()>> posts;
};
Queue& TheQueue() {
    static Queue* const queue = new Queue;
    return *queue;
}

std::atomic<bool> g_haveUiThread{false};
std::thread::id g_uiThread;  // written once, before any worker starts
std::atomic<bool> g_sendWakePending{false};
std::atomic<bool> g_postWakePending{false};

int RunQueuedPosts();

// Asks the user-interface thread's event loop to drain the queues.  One wake
// is outstanding at a time; wxQueueEvent (behind CallAfter) is thread-safe.
void WakeUiThread(std::atomic<bool>& pending, void (*drain)()) {
    wxAppConsole* app = wxAppConsole::GetInstance();
    if (!app) return;  // no event loop: RunQueuedSends/RunPostedCalls drain by hand
    if (pending.exchange(true)) return;
    app->CallAfter([&pending, drain] {
        pending = false;
        drain();
    });
}

void DrainSends() { RunQueuedSends(); }
void DrainPosts() { RunQueuedPosts(); }

int RunQueuedPosts() {
    int ran = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(TheQueue().mutex);
            if (TheQueue().posts.empty()) break;
            fn = std::move(TheQueue().posts.front());
            TheQueue().posts.pop_front();
        }
        fn();
        ++ran;
    }
    return ran;
}

}  // namespace

void SetUiThread() {
    g_uiThread = std::this_thread::get_id();
    g_haveUiThread = true;
}

bool IsUiThread() { return g_haveUiThread && std::this_thread::get_id() == g_uiThread; }

LRESULT SendToUiThread(const std::function<LRESULT()>& fn) {
    // Without a user-interface thread (tools, tests without a display) there is
    // nobody to wait for: the call runs here.
    if (!g_haveUiThread || IsUiThread()) return fn();
    auto send = std::make_shared<QueuedSend>();
    send->fn = fn;
    {
        std::lock_guard<std::mutex> lock(TheQueue().mutex);
        TheQueue().sends.push_back(send);
    }
    TheQueue().cond.notify_all();
    WakeUiThread(g_sendWakePending, &DrainSends);
    std::exception_ptr error;
    LRESULT result = 0;
    {
        std::unique_lock<std::mutex> lock(TheQueue().mutex);
        TheQueue().cond.wait(lock, [&] { return send->done; });
        // The sender takes the exception over under the lock, so it is freed
        // here and never on the user-interface thread while it is still read.
        error = std::move(send->error);
        result = send->result;
    }
    if (error) std::rethrow_exception(error);
    return result;
}

void PostToUiThread(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(TheQueue().mutex);
        TheQueue().posts.push_back(std::move(fn));
    }
    WakeUiThread(g_postWakePending, &DrainPosts);
}

int RunPostedCalls() { return RunQueuedPosts(); }

int RunQueuedSends() {
    int ran = 0;
    for (;;) {
        std::shared_ptr<QueuedSend> send;
        {
            std::lock_guard<std::mutex> lock(TheQueue().mutex);
            if (TheQueue().sends.empty()) break;
            send = TheQueue().sends.front();
            TheQueue().sends.pop_front();
        }
        try {
            send->result = send->fn();
        } catch (...) {
            send->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(TheQueue().mutex);
            send->done = true;
        }
        TheQueue().cond.notify_all();
        ++ran;
    }
    return ran;
}

bool WaitServingSends(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        RunQueuedSends();
        if (done()) return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            RunQueuedSends();
            return done();
        }
        // `done` may turn true without anyone signalling: wake at least every
        // few milliseconds to look again.
        auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                   std::chrono::milliseconds(5));
        std::unique_lock<std::mutex> lock(TheQueue().mutex);
        TheQueue().cond.wait_for(lock, slice, [] { return !TheQueue().sends.empty(); });
    }
}

bool JoinServingSends(std::thread& t, std::chrono::milliseconds bound) {
    if (!t.joinable()) return true;
    if (t.get_id() == std::this_thread::get_id()) return false;
    // A helper joins the thread so that this thread can keep serving sends.  The
    // helper owns the thread object: if the bound passes, the helper is
    // detached and ends by itself once the thread has.
    struct JoinState {
        std::thread target;
        std::atomic<bool> joined{false};
    };
    auto state = std::make_shared<JoinState>();
    state->target = std::move(t);
    std::thread joiner([state] {
        state->target.join();
        {
            std::lock_guard<std::mutex> lock(TheQueue().mutex);
            state->joined = true;
        }
        TheQueue().cond.notify_all();
    });
    if (WaitServingSends([&] { return state->joined.load(); }, bound)) {
        joiner.join();
        return true;
    }
    joiner.detach();
    return false;
}

}  // namespace plat
