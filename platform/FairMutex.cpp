#include "platform/FairMutex.h"

namespace plat {

void FairMutex::lock() {
    std::unique_lock<std::mutex> guard(m_mutex);
    const std::uint64_t ticket = m_next++;
    m_turn.wait(guard, [&] { return m_serving == ticket; });
}

void FairMutex::unlock() {
    // Notified under the inner mutex: the next holder may destroy this lock
    // as soon as it has it, and must not find the notification still running.
    std::lock_guard<std::mutex> guard(m_mutex);
    ++m_serving;
    if (m_next != m_serving) m_turn.notify_all();
}

}  // namespace plat
