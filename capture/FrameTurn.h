#pragma once
// The network camera's frames turned by 180 degrees on their way to the sink.
#include <opencv2/core/types_c.h>

// Writes `src` into `dst` turned by 180 degrees (both axes flipped, as cvFlip
// with mode -1 does in place): the copy and the turn in one pass.  Both must
// be 8-bit, 3-channel images of the same size, and not the same image;
// returns false (dst untouched) otherwise.
bool CopyTurnedHalfWayRound(const IplImage* src, IplImage* dst);
