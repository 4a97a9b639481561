#pragma once
// Reaching the user-interface thread from worker threads.  GTK is touched on
// the user-interface thread only; a worker that needs a handler to run there
// queues the call and waits for it (SendMessage's meaning).  Every wait of the
// user-interface thread for a worker keeps running such queued calls, so a
// worker blocked in a send can always finish.
#include <chrono>
#include <functional>
#include <thread>

#include "platform/WinTypes.h"

namespace plat {

// Marks the calling thread as the user-interface thread (done once at start-up
// and by the GUI test harness).
void SetUiThread();
bool IsUiThread();

// Runs `fn` on the user-interface thread and returns its result.  On the
// user-interface thread it runs at once.  From a worker it queues the call,
// wakes the user-interface thread and blocks until the call has run (an
// exception thrown by `fn` is rethrown in the worker).  When no thread was
// marked as the user-interface thread, `fn` runs on the calling thread.
LRESULT SendToUiThread(const std::function<LRESULT()>& fn);

// Queues `fn` to run later on the user-interface thread; returns at once.
void PostToUiThread(std::function<void()> fn);

// Runs every queued send now (user-interface thread only); returns how many ran.
int RunQueuedSends();

// Runs every posted call now (user-interface thread only; the event loop does
// this by itself, tests without a running loop call it); returns how many ran.
int RunPostedCalls();

// Waits on the user-interface thread until `done` returns true or `bound`
// passes, running queued sends meanwhile.  True when `done` became true.
bool WaitServingSends(const std::function<bool()>& done, std::chrono::milliseconds bound);

// Joins `t` within `bound` while running queued sends; when the bound passes
// the thread is detached and false is returned (the caller must then keep
// alive whatever the thread still uses).
bool JoinServingSends(std::thread& t, std::chrono::milliseconds bound);

}  // namespace plat
