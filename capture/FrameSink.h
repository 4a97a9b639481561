#pragma once
// Where USB camera frames and hardware-button presses go.  The station window
// registers its frame sink and its freeze/live toggle here; the capture
// callbacks call them on the capture threads, synchronously.
//
// Frame contract: an 8-bit, 3-channel B, G, R image with rows top-down and a
// row step of width x 3, owned by the producer, valid for the call only.  The
// sink may draw into it; whatever it keeps it copies.
#include <functional>

#include <opencv2/core.hpp>
#include <opencv2/core/types_c.h>

#include "platform/ViewBuilder.h"

using FrameSinkFn = std::function<void(IplImage*)>;
// Writes a frame's pixels into `into`, an image of the frame's size and
// layout; false when it cannot.  For frames handed over unwritten.
using FramePixels = std::function<bool(IplImage* into)>;
using StillHandlerFn = std::function<void()>;

// Registering (or clearing with nullptr) waits for the call in progress, if
// any, to return (not for the producer to pause), so once it returns the old
// sink is never called again.  Must not be called from inside the sink or the
// handler.  `takesFrames`, when given, tells whether the sink would use a
// frame now (a frozen view drops them).  `viewTarget`, when given, tells where
// the sink would draw the frame now: the view's size, or an empty size when it
// would not draw it plainly.
void SetFrameSink(FrameSinkFn sink, std::function<bool()> takesFrames = {},
                  std::function<plat::ViewTarget()> viewTarget = {});
void SetStillHandler(StillHandlerFn handler);

// Producers: hand one frame to the sink / one button press to the handler.
// Nothing happens while none is registered.  A producer whose frame is its
// private copy, written over or released right after the call, says so with
// `pixelsToSpare`: the sink may then keep the frame's pixels instead of
// copying them, leaving the frame other pixels of the same layout.
// A producer that made the view's picture of the frame while making the frame
// (see SinkViewTarget) hands it over as `view` (the sink may take its pixels,
// leaving it others of the same size), or, when it wrote it into the target's
// display rows, gives its size as `onDisplay`.  Having done that, it may
// leave the frame's pixels unwritten and hand over `later`, which writes
// them when called: the frame is then complete only once they are made.
void DeliverFrameToSink(IplImage* frame, bool pixelsToSpare = false, cv::Mat* view = nullptr,
                        cv::Size onDisplay = cv::Size(), FramePixels later = {});
void DeliverStillToHandler();

// In the sink, during a call: whether the frame's producer spares its pixels.
bool SinkMayKeepPixels();
// In the sink, during a call: the view's picture of the frame as drawing the
// frame into the view would make it, when the producer made one; else null.
cv::Mat* SinkFrameView();
// In the sink, during a call: the size of the view's picture the producer
// wrote into the display rows, or an empty size.
cv::Size SinkFrameOnDisplay();
// In the sink, during a call: how to write the frame's pixels when its
// producer left them unwritten (the sink may take it), else empty.
FramePixels& SinkFramePixelsLater();

// Producers: whether a frame delivered now would be used.  When not, they
// may leave it unmade (not decoded, not converted): nobody would see it.
bool SinkTakesFrames();
// Producers: where a frame delivered now would be drawn (an empty size:
// not plainly into a view).  A producer may make the view's picture as it
// makes the frame, from rows still in the cache, and hand it over with it.
plat::ViewTarget SinkViewTarget();
