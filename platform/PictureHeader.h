#pragma once
// What a picture file says of itself before its pixels: enough to refuse a
// file that is no picture, or one too large to hold, without reading it.
#include <cstdint>

namespace plat {

enum class PictureFormat { Bmp, Png, Jpeg };

struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    PictureFormat format = PictureFormat::Bmp;
    // A JPEG's start-of-frame marker (0xC0 to 0xCF) and its sample precision
    // in bits: what tells a lossless, hierarchical or 12-bit JPEG.
    unsigned jpegFrame = 0;
    unsigned jpegPrecision = 0;
};

enum class HeaderRead {
    Picture,
    NotPicture,  // no BMP, PNG or JPEG (or a header that names no pixels)
    Damaged,     // it begins as a JPEG, but its header is cut short or names no pixels
};

// Reads the header of the BMP, PNG or JPEG picture at the start of the open
// descriptor `fd`, looking at no byte past `fileBytes`: on Picture with the
// picture's size in pixels and its format.  Reads with pread, so the
// descriptor's offset stays as it was.
HeaderRead ReadPictureSize(int fd, std::uint64_t fileBytes, PictureSize* size);

}  // namespace plat
