#pragma once
// Bilinear reduction of 8-bit, 3-channel pixels for the live view: the
// geometry of OpenCV's INTER_LINEAR (pixel centres aligned, edges clamped),
// each channel within one of what cv::resize gives, at a fraction of its cost.
#include <cstddef>

namespace plat {

// Reduces `src` (srcWidth x srcHeight pixels, rows `srcStep` bytes apart) into
// `dst` (dstWidth x dstHeight, rows `dstStep` bytes apart).  Returns false and
// writes nothing for a null pointer, a size that is not positive, a step
// shorter than its row, or an enlargement in either direction.  `src` and
// `dst` must not overlap.  One thread; the column and row tables of the last
// size pair are kept per thread, so a stream of frames of one size builds them
// once.
bool ScaleBilinearBGR(const unsigned char* src, int srcWidth, int srcHeight, std::size_t srcStep,
                      unsigned char* dst, int dstWidth, int dstHeight, std::size_t dstStep);

namespace view_scale_detail {

// Which instruction set the scaler uses: the best the processor has unless a
// test asks for another one.  Every path gives the same bytes.
enum class Path { Best, Scalar, Ssse3, Avx2 };
// Forces `path` on the calling thread (Best undoes it); returns false, changing
// nothing, when the processor lacks it.
bool ForcePath(Path path);

}  // namespace view_scale_detail
}  // namespace plat
