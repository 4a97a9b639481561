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
#include <atomic>
#include <cstdint>

#include <opencv2/core.hpp>

namespace plat {

enum class PictureLoad {
    Loaded,
    Incomplete,    // loaded, but its data ends before the picture does: the rest is grey
    Unreadable,    // missing, not a regular file, or not readable
    PathTooLong,   // the path is longer than the system (or the caller) takes
    NotTaken,      // not a BMP, PNG or JPEG picture
    Unsupported,   // a lossless, hierarchical or 12-bit JPEG, which the decoder does not take
    TooLarge,      // past kMaxPictureFileBytes, kMaxWholePixels or the decoder's memory bound
    TooManyScans,  // a JPEG in more than kMaxJpegScans scans
    Damaged,       // its header said picture (or began as a JPEG), the decoder could not make one
    Cancelled,     // given up at the caller's request
};

// Whether a picture came of it.
inline bool Shown(PictureLoad result) { return result == PictureLoad::Loaded || result == PictureLoad::Incomplete; }

// Which file was read, and as it was then: another file put in its place,
// or the same file written again, gives another identity (the change time
// moves with every write and cannot be set back).
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the open descriptor `fd`; false when it cannot be had.
bool ReadFileIdentity(int fd, FileIdentity* identity);

// The largest file read as a picture.
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{128} << 20;
// The most pixels of a picture decoded at its full size.  BMP and PNG are
// decoded only so; measured with the largest such picture (5792 x 5792), a
// load raises the process's peak memory by 96 MB (BMP) to 106 MB (PNG) in
// colour, by 128 MB with an alpha channel drawn over white, and by 138 MB as
// stored with alpha.  A JPEG shown at a given size
// is decoded reduced to about that size, a few megabytes for any baseline
// JPEG; then this bounds the reduced picture and the decoder's own memory,
// kMaxWholePixels * 3 bytes (96 MB).  A progressive JPEG keeps its picture's
// coefficients until its last scan: decoded reduced by 1/8 (or 1/4), only
// those the reduced picture is made of are kept, with one bit for each of
// the others: 10 bytes for a block of 8 x 8 that becomes one pixel, 58 for
// one that becomes 2 x 2, so a progressive photo of up to about 200
// megapixels at 4:4:4 (150 at 4:2:0) stays within the bound.  Measured (bench_photo, quality 95,
// 4:4:4): 20 megapixels into the photo box raise the peak memory by 10 MB
// in 0.65 s, 48 megapixels by 24 MB in 1.6 s; into the comparison's pane
// (643 x 510, so 20 megapixels are reduced by 1/4 only) by 56 MB in 0.86 s
// and 25 MB in 1.6 s; a full-size decode of the same files costs 172 and
// 412 MB.  A progressive JPEG wanted at its full size keeps every
// coefficient (six bytes a pixel at 4:4:4, three at 4:2:0) and is refused
// as too large past the bound.
inline constexpr std::uint64_t kMaxWholePixels = std::uint64_t{1} << 25;
// The most scans of a JPEG decoded.  Photos have a few (ten in the usual
// progressive script); each scan costs a pass over the picture, so a file
// of thousands of tiny scans would hold the decoder for minutes.  Measured:
// a 48-megapixel 4:4:4 file of 1,000 scans (0.6 MB) is refused after 3.7 s.
inline constexpr int kMaxJpegScans = 100;

// The file dialog's filter of the pictures the loader takes.
extern const char* const kPictureFileFilter;

// Loads the picture file at `path` (UTF-8) into `*picture`, 8-bit, in colour
// as cvLoadImage's `iscolor` asks: above 0 B, G, R; 0 grey; below 0 as stored.
// With a non-empty `fit`, a picture larger than `fit` in either direction
// comes out reduced (area-averaged) to exactly `fit`, as a box of that size
// would stretch it, and a JPEG is decoded straight at a size not much larger.
// A picture with transparent parts comes out drawn over white.
// `*picture` is left alone unless a picture came of it (Shown).  `identity`,
// when given, gets the file's identity as it was decoded; while `cancel`,
// when given, is set, a JPEG's decode stops between rows with Cancelled.
PictureLoad LoadPicture(const char* path, int iscolor, cv::Size fit, cv::Mat* picture,
                        FileIdentity* identity = nullptr, const std::atomic<bool>* cancel = nullptr);

// How many pictures the loader has begun to decode since the program started.
std::uint64_t PicturesDecoded();

}  // namespace plat
