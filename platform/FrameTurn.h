#pragma once
// Frames turned by 180 degrees (the network camera looks at the skin upside
// down), written in one pass with the copy or the decode that makes them.
#include <cstddef>

#include <opencv2/core/types_c.h>

namespace plat {

// Row `src` of `width` three-byte pixels into `dst` with its pixels in
// reverse order.  The rows must not overlap.  Unless `mayBypassCache` is
// false, an aligned `dst` is written past the cache (a frame's row, read
// again much later, if ever).
void ReverseRowOfPixels(const unsigned char* src, unsigned char* dst, int width, bool mayBypassCache = true);

// `bytes` of `src` into `dst` with stores that bypass the cache where `dst`
// allows: a frame is far larger than the cache, and nothing reads it soon.
void CopyRowBypassingCache(const unsigned char* src, unsigned char* dst, std::size_t bytes);

// Writes `src` into `dst` turned by 180 degrees (both axes flipped, as cvFlip
// with mode -1 does in place): the copy and the turn in one pass.  Both must
// be 8-bit, 3-channel images of the same size without a region of interest,
// and not the same image; returns false (dst untouched) otherwise.
bool CopyTurnedHalfWayRound(const IplImage* src, IplImage* dst);

}  // namespace plat
