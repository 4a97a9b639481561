#pragma once
// A mutex that lets its takers in in the order they asked.  A capture thread
// delivers frames back to back: it lets its lock go after one frame and takes
// it again at once for the next.  std::mutex promises no order, and a
// user-interface thread waiting on such a lock (to close a window, to paint)
// may lose every round to the thread that is already running.  Here whoever
// asked first goes first, so a waiter waits for at most the holds of those
// queued ahead of it: one frame each.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace plat {

class FairMutex {
public:
    FairMutex();
    ~FairMutex();
    FairMutex(const FairMutex&) = delete;
    FairMutex& operator=(const FairMutex&) = delete;

    void lock();
    void unlock();

private:
    std::mutex m_mutex;
    std::condition_variable m_turn;
    std::uint64_t m_next = 0;     // the ticket the next taker draws
    std::uint64_t m_serving = 0;  // the ticket whose taker may hold the lock
};

}  // namespace plat
