#pragma once
// Bilinear reduction of 8-bit, 3-channel pixels for the live view: the
// geometry of OpenCV's INTER_LINEAR (pixel centres aligned, edges clamped),
// each channel within one of what cv::resize gives, at a fraction of its cost.
#include <cstddef>
#include <memory>

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

// Whether drawing a picture of this size into a view of that size reduces it
// with ScaleBilinearBGR: narrower, not higher, and by less than two in one
// direction (a larger reduction averages blocks first).
bool ScalesByRows(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

namespace view_scale_detail {

// ScaleBilinearBGR a row at a time, for a maker that has the source rows one
// after another (a decoder): the same bytes, with tables of its own.
class RowScaler {
public:
    RowScaler();
    ~RowScaler();
    // False for the sizes ScaleBilinearBGR refuses.
    bool Start(int srcWidth, int srcHeight, int dstWidth, int dstHeight);
    // Output row j lies between source rows SourceRow(j) and the one after it
    // (the same one at the last row).
    int SourceRow(int j) const;
    // Output row j (3 * dstWidth bytes into `d`) from those two rows.
    void Make(int j, const unsigned char* r0, const unsigned char* r1, unsigned char* d) const;
    // Output row j as Make makes it, written straight as the display's words
    // (B, G, R, 255: see BgrRowToBgrx) into 4 * dstWidth bytes at `words`,
    // its columns in reverse order when `reversed`; `scratch` holds 3 *
    // dstWidth bytes for the few columns made one at a time.  False, writing
    // nothing, where the processor or the sizes give no such path; Make and a
    // conversion then give the same words.
    bool MakeWords(int j, const unsigned char* r0, const unsigned char* r1, unsigned char* words, bool reversed,
                   unsigned char* scratch) const;

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
};


// Which instruction set the scaler uses: the best the processor has unless a
// test asks for another one.  Every path gives the same bytes.
enum class Path { Best, Scalar, Ssse3, Avx2 };
// Forces `path` on the calling thread (Best undoes it); returns false, changing
// nothing, when the processor lacks it.
bool ForcePath(Path path);

}  // namespace view_scale_detail
}  // namespace plat
