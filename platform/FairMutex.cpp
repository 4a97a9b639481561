#include "platform/FairMutex.h"

// ThreadSanitizer is told that this is a mutex of its own, so that it checks
// the order in which threads take these locks (and ignores the inner mutex
// and condition, which are held for no longer than a ticket takes).
#if defined(__SANITIZE_THREAD__)
#define QUILL_TSAN_MUTEX 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILL_TSAN_MUTEX 1
#endif
#endif
#ifdef QUILL_TSAN_MUTEX
#include <sanitizer/tsan_interface.h>
#define QUILL_TSAN(op, ...) __tsan_mutex_##op(__VA_ARGS__)
#else
#define QUILL_TSAN(op, ...) static_cast<void>(0)
#endif

namespace plat {

namespace {
// The address ThreadSanitizer knows the lock by: not the lock's own, where
// the inner mutex lies, which it knows already.
[[maybe_unused]] void* TsanId(std::uint64_t& next) { return &next; }
}  // namespace

FairMutex::FairMutex() { QUILL_TSAN(create, TsanId(m_next), 0); }

FairMutex::~FairMutex() { QUILL_TSAN(destroy, TsanId(m_next), 0); }

void FairMutex::lock() {
    QUILL_TSAN(pre_lock, TsanId(m_next), 0);
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        const std::uint64_t ticket = m_next++;
        m_turn.wait(guard, [&] { return m_serving == ticket; });
    }
    QUILL_TSAN(post_lock, TsanId(m_next), 0, 0);
}

void FairMutex::unlock() {
    QUILL_TSAN(pre_unlock, TsanId(m_next), 0);
    {
        // Notified under the inner mutex: the next holder may destroy this
        // lock as soon as it has it, and must not find the notification
        // still running.
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_serving;
        if (m_next != m_serving) m_turn.notify_all();
    }
    QUILL_TSAN(post_unlock, TsanId(m_next), 0);
}

}  // namespace plat
