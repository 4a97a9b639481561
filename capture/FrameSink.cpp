#include "capture/FrameSink.h"

#include <mutex>

namespace {
// Held while the sink runs: registration waits for a frame in flight.
std::mutex g_sinkLock;
FrameSinkFn g_sink;
std::function<bool()> g_takesFrames;
std::mutex g_stillLock;
StillHandlerFn g_still;
}  // namespace

void SetFrameSink(FrameSinkFn sink, std::function<bool()> takesFrames) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = std::move(sink);
    g_takesFrames = std::move(takesFrames);
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
}  // namespace

void DeliverFrameToSink(IplImage* frame, bool pixelsToSpare) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    if (!g_sink || !frame) return;
    struct Spare {
        explicit Spare(bool spare) { t_pixelsToSpare = spare; }
        ~Spare() { t_pixelsToSpare = false; }
    } spare(pixelsToSpare);
    g_sink(frame);
}

bool SinkMayKeepPixels() { return t_pixelsToSpare; }

void DeliverStillToHandler() {
    std::lock_guard<std::mutex> lock(g_stillLock);
    if (g_still) g_still();
}
