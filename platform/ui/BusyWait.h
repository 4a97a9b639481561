#pragma once
// Waiting on the user-interface thread for something slow (a helper program)
// without freezing the windows.
#include <chrono>
#include <functional>

namespace plat {

// Waits until `done` returns true or `bound` passes; true when `done` became
// true.  Meanwhile the windows stay alive: they repaint, timers, posted calls
// and worker threads' sends run, and the busy cursor shows.  The operator's
// clicks and keys meanwhile are dropped, not kept for afterwards, so that
// nothing is started twice and nothing is closed under the caller.  Without a
// graphical application it only serves the workers' sends.
bool WaitKeepingWindowsAlive(const std::function<bool()>& done, std::chrono::milliseconds bound);

}  // namespace plat
