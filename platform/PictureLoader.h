#pragma once
// The one loader of picture files: a customer's photo, the comparison's
// "Other" picture and every picture file the program reads back go through
// it.  It takes BMP, PNG and JPEG, known by their first bytes whatever the
// file's name says; OpenCV can decode more (TIFF, WebP, JPEG 2000 and
// others), but those would need a header walk of their own to bound what
// decoding them costs, so they are refused like any file that is no picture.
//
// A file is opened once, and only when it is a regular file (a pipe or a
// device named ".bmp" would block or never end).  Its header is read before
// its pixels; what is past a limit is refused without decoding it.
#include <cstdint>

#include <opencv2/core.hpp>

namespace plat {

enum class PictureLoad {
    Loaded,
    Unreadable,  // missing, not a regular file, or not readable
    NotTaken,    // not a BMP, PNG or JPEG picture
    TooLarge,    // past kMaxPictureFileBytes or kMaxWholePixels
    Damaged,     // its header said picture, the decoder could not make one
};

// The largest file read as a picture.
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{128} << 20;
// The most pixels of a picture decoded at its full size.  BMP and PNG are
// decoded only so; measured with the largest such picture (5792 x 5792), a
// load raises the process's peak memory by 96 MB (BMP) to 106 MB (PNG) in
// colour, and by 138 MB as stored with alpha.  A JPEG shown at a given size
// is decoded reduced to about that size, a few megabytes for any baseline
// JPEG; then this bounds the reduced picture and the decoder's own memory (a
// progressive JPEG holds every coefficient of its full picture, about three
// bytes a pixel, so it is refused past about 32 megapixels, at a peak of
// 96 MB at most).
inline constexpr std::uint64_t kMaxWholePixels = std::uint64_t{1} << 25;

// The file dialog's filter of the pictures the loader takes.
extern const char* const kPictureFileFilter;

// Loads the picture file at `path` (UTF-8) into `*picture`, 8-bit, in colour
// as cvLoadImage's `iscolor` asks: above 0 B, G, R; 0 grey; below 0 as stored.
// With a non-empty `fit`, a picture larger than `fit` in either direction
// comes out reduced (area-averaged) to exactly `fit`, as a box of that size
// would stretch it, and a JPEG is decoded straight at a size not much larger.
// `*picture` is left alone unless the result is Loaded.
PictureLoad LoadPicture(const char* path, int iscolor, cv::Size fit, cv::Mat* picture);

// How many pictures the loader has begun to decode since the program started.
std::uint64_t PicturesDecoded();

}  // namespace plat
