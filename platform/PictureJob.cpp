#include "platform/PictureJob.h"

#include <atomic>
#include <mutex>

#include "platform/CrossThread.h"

namespace plat {

namespace {

std::mutex g_hookMutex;
std::function<void(const std::string&)> g_startHook;

void RunStartHook(const std::string& path) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_startHook;
    }
    if (hook) hook(path);
}

}  // namespace

// What the posted results find the job by; the job's user-interface thread
// alone reads and writes it.
struct PictureJob::State {
    unsigned generation = 0;  // of the request in flight, or the last one
    bool busy = false;
    std::string pending;
    std::shared_ptr<std::atomic<bool>> cancel;
    std::vector<std::shared_ptr<std::atomic<bool>>> running;  // one per thread, set when it ends
};

PictureJob::PictureJob() : m_state(std::make_shared<State>()) {}

PictureJob::~PictureJob() {
    Stop();
    // Each decode stops at its next row once cancelled (a BMP or PNG runs
    // to its end, a fraction of a second at most); the threads post
    // nothing that reaches this object any more.
    for (std::thread& t : m_threads) t.join();
}

void PictureJob::Stop() {
    if (m_state->cancel) m_state->cancel->store(true);
    m_state->cancel.reset();
    ++m_state->generation;
    m_state->busy = false;
    m_state->pending.clear();
}

bool PictureJob::Busy() const { return m_state->busy; }

const std::string& PictureJob::Pending() const { return m_state->pending; }

void PictureJob::Start(const std::string& path, int iscolor, cv::Size fit, Done done) {
    Stop();
    // Threads that ended are joined here, so that they do not pile up.
    for (std::size_t i = 0; i < m_threads.size();) {
        if (m_state->running[i]->load()) {
            m_threads[i].join();
            m_threads.erase(m_threads.begin() + static_cast<long>(i));
            m_state->running.erase(m_state->running.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    m_state->cancel = cancel;
    m_state->busy = true;
    m_state->pending = path;
    const unsigned generation = m_state->generation;
    std::weak_ptr<State> weak = m_state;
    m_state->running.push_back(ended);
    m_threads.emplace_back([path, iscolor, fit, cancel, ended, generation, weak, done = std::move(done)]() mutable {
        auto result = std::make_shared<PictureJobResult>();
        result->path = path;
        RunStartHook(path);
        result->load = cancel->load() ? PictureLoad::Cancelled
                                       : LoadPicture(path.c_str(), iscolor, fit, &result->picture, &result->identity,
                                                     cancel.get());
        if (!cancel->load())
            PostToUiThread([weak, generation, result, done = std::move(done)] {
                const std::shared_ptr<State> state = weak.lock();
                if (!state || state->generation != generation || !state->busy) return;
                state->busy = false;
                state->pending.clear();
                state->cancel.reset();
                done(*result);
            });
        ended->store(true);
    });
}

void PictureJob::SetStartHookForTesting(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_startHook = std::move(hook);
}

}  // namespace plat
