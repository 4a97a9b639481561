#include "capture/FrameSink.h"

#include <mutex>

#include "platform/FairMutex.h"

namespace {
// Held while the sink runs: registration waits for the frame in flight, and
// only for that one, however fast the producer hands over the next.
plat::FairMutex g_sinkLock;
FrameSinkFn g_sink;
std::function<bool()> g_takesFrames;
std::function<plat::ViewTarget()> g_viewTarget;
plat::FairMutex g_stillLock;
StillHandlerFn g_still;
}  // namespace

void SetFrameSink(FrameSinkFn sink, std::function<bool()> takesFrames,
                  std::function<plat::ViewTarget()> viewTarget) {
    std::lock_guard<plat::FairMutex> lock(g_sinkLock);
    g_sink = std::move(sink);
    g_takesFrames = std::move(takesFrames);
    g_viewTarget = std::move(viewTarget);
}

plat::ViewTarget SinkViewTarget() {
    std::lock_guard<plat::FairMutex> lock(g_sinkLock);
    return g_sink && g_viewTarget ? g_viewTarget() : plat::ViewTarget();
}

bool SinkTakesFrames() {
    std::lock_guard<plat::FairMutex> lock(g_sinkLock);
    return g_sink && (!g_takesFrames || g_takesFrames());
}

void SetStillHandler(StillHandlerFn handler) {
    std::lock_guard<plat::FairMutex> lock(g_stillLock);
    g_still = std::move(handler);
}

namespace {
thread_local bool t_pixelsToSpare = false;
thread_local cv::Mat* t_view = nullptr;
thread_local cv::Size t_onDisplay;
thread_local FramePixels* t_later = nullptr;
}  // namespace

void DeliverFrameToSink(IplImage* frame, bool pixelsToSpare, cv::Mat* view, cv::Size onDisplay,
                        FramePixels later) {
    std::lock_guard<plat::FairMutex> lock(g_sinkLock);
    if (!g_sink || !frame) return;
    if (view && view->empty()) view = nullptr;
    struct During {
        During(bool spare, cv::Mat* v, cv::Size shown, FramePixels* l) {
            t_pixelsToSpare = spare, t_view = v, t_onDisplay = shown, t_later = l;
        }
        ~During() { t_pixelsToSpare = false, t_view = nullptr, t_onDisplay = cv::Size(), t_later = nullptr; }
    } during(pixelsToSpare, view, onDisplay, &later);
    g_sink(frame);
}

cv::Size SinkFrameOnDisplay() { return t_onDisplay; }

FramePixels& SinkFramePixelsLater() {
    static thread_local FramePixels none;
    if (t_later) return *t_later;
    none = nullptr;
    return none;
}

bool SinkMayKeepPixels() { return t_pixelsToSpare; }

cv::Mat* SinkFrameView() { return t_view; }

void DeliverStillToHandler() {
    std::lock_guard<plat::FairMutex> lock(g_stillLock);
    if (g_still) g_still();
}
