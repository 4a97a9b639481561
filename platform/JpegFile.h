#pragma once
// A JPEG file decoded straight from its descriptor, at a reduced size when
// that is all that will be shown: libjpeg scales while it decodes (by 1/2,
// 1/4 or 1/8), so a 48-megapixel photo shown in a small box costs a picture
// of a few megabytes and never the file's bytes or the full picture.
#include <cstdint>

#include <opencv2/core.hpp>

namespace plat {

enum class JpegFileResult { Decoded, TooLarge, Damaged };

// Decodes the JPEG at the start of the open descriptor `fd` (reading with
// pread, no byte past `fileBytes`) into `*picture`, 8-bit: B, G, R for
// `iscolor` > 0, grey for 0, as stored (grey or B, G, R) when negative.  A
// colour request is turned upright by the picture's orientation tag, as
// OpenCV does.
//
// With a non-empty `atLeast` (upright), the decoder reduces the picture by the
// largest of 1/2, 1/4, 1/8 that still leaves it at least that large, when it
// is larger.  The picture decoded (after any reduction) may hold at most
// `maxPixels`; the decoder's own memory (a progressive JPEG keeps every
// coefficient of the full picture) at most `maxPixels` * 3 bytes.  Either
// past its bound gives TooLarge, before or while decoding.  Damaged for data
// libjpeg cannot decode; a picture it decodes with warnings (stray bytes
// between segments, data ending early) is a picture.
JpegFileResult DecodeJpegFile(int fd, std::uint64_t fileBytes, int iscolor, cv::Size atLeast,
                              std::uint64_t maxPixels, cv::Mat* picture);

}  // namespace plat
