#pragma once
// A JPEG file decoded straight from its descriptor, at a reduced size when
// that is all that will be shown: libjpeg scales while it decodes (by 1/2,
// 1/4 or 1/8), so a 48-megapixel photo shown in a small box costs a picture
// of a few megabytes and never the file's bytes or the full picture.
#include <atomic>
#include <cstdint>

#include <opencv2/core.hpp>

namespace plat {

enum class JpegFileResult {
    Decoded,
    Incomplete,    // decoded, but the data ended before the picture did
    TooLarge,
    TooManyScans,  // more scans than the limit
    Unsupported,   // a kind of JPEG libjpeg was built without (lossless, 12-bit, hierarchical)
    Damaged,
    Cancelled,
};

// Decodes the JPEG at the start of the open descriptor `fd` (reading with
// pread, no byte past `fileBytes`) into `*picture`, 8-bit: B, G, R for
// `iscolor` > 0, grey for 0, as stored (grey or B, G, R) when negative.  A
// colour request is turned upright by the picture's orientation tag, as
// OpenCV does.
//
// With a non-empty `atLeast` (upright), the decoder reduces the picture by the
// largest of 1/2, 1/4, 1/8 that still leaves it at least that large, when it
// is larger.  The picture decoded (after any reduction) may hold at most
// `maxPixels`; the decoder's own memory (the coefficients a progressive JPEG
// keeps until its last scan) at most `maxPixels` * 3 bytes.  A progressive
// JPEG whose coefficients would pass that is decoded reduced by 1/8, where
// few of them are kept, when `atLeast` is given (it then comes out smaller
// than asked); either bound still passed gives TooLarge, before or while
// decoding.  More than `maxScans` scans give TooManyScans.  Damaged for data
// libjpeg cannot decode; a picture it decodes with warnings is a picture
// (Incomplete when its data ended early).  While `cancel` (when given) is
// set, the decode stops between rows with Cancelled.
JpegFileResult DecodeJpegFile(int fd, std::uint64_t fileBytes, int iscolor, cv::Size atLeast,
                              std::uint64_t maxPixels, int maxScans, const std::atomic<bool>* cancel,
                              cv::Mat* picture);

}  // namespace plat
