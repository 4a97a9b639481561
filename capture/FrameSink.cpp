#include "capture/FrameSink.h"

#include <mutex>

namespace {
// Held while the sink runs: registration waits for a frame in flight.
std::mutex g_sinkLock;
FrameSinkFn g_sink;
std::function<bool()> g_takesFrames;
std::function<cv::Size()> g_viewSize;
std::mutex g_stillLock;
StillHandlerFn g_still;
}  // namespace

void SetFrameSink(FrameSinkFn sink, std::function<bool()> takesFrames, std::function<cv::Size()> viewSize) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = std::move(sink);
    g_takesFrames = std::move(takesFrames);
    g_viewSize = std::move(viewSize);
}

cv::Size SinkViewSize() {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    return g_sink && g_viewSize ? g_viewSize() : cv::Size();
}

bool SinkTakesFrames() {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    return g_sink && (!g_takesFrames || g_takesFrames());
}

void SetStillHandler(StillHandlerFn handler) {
    std::lock_guard<std::mutex> lock(g_stillLock);
    g_still = std::move(handler);
}

namespace {
thread_local bool t_pixelsToSpare = false;
thread_local cv::Mat* t_view = nullptr;
}  // namespace

void DeliverFrameToSink(IplImage* frame, bool pixelsToSpare, cv::Mat* view) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    if (!g_sink || !frame) return;
    struct During {
        During(bool spare, cv::Mat* v) { t_pixelsToSpare = spare, t_view = v; }
        ~During() { t_pixelsToSpare = false, t_view = nullptr; }
    } during(pixelsToSpare, view && !view->empty() ? view : nullptr);
    g_sink(frame);
}

bool SinkMayKeepPixels() { return t_pixelsToSpare; }

cv::Mat* SinkFrameView() { return t_view; }

void DeliverStillToHandler() {
    std::lock_guard<std::mutex> lock(g_stillLock);
    if (g_still) g_still();
}
