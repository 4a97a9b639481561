#include "capture/FrameSink.h"

#include <mutex>

namespace {
// Held while the sink runs: registration waits for a frame in flight.
std::mutex g_sinkLock;
FrameSinkFn g_sink;
std::mutex g_stillLock;
StillHandlerFn g_still;
}  // namespace

void SetFrameSink(FrameSinkFn sink) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    g_sink = std::move(sink);
}

void SetStillHandler(StillHandlerFn handler) {
    std::lock_guard<std::mutex> lock(g_stillLock);
    g_still = std::move(handler);
}

void DeliverFrameToSink(IplImage* frame) {
    std::lock_guard<std::mutex> lock(g_sinkLock);
    if (g_sink && frame) g_sink(frame);
}

void DeliverStillToHandler() {
    std::lock_guard<std::mutex> lock(g_stillLock);
    if (g_still) g_still();
}
